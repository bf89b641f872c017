#pragma once

#include "networkprobe.h"
#include "ticktimer.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;

namespace corvanta {

class ColorBar;

// The labels of the status panel that their owners write.
enum class StatusLabel
{
    Emails,      // lblEmails: number of loaded addresses
    Validated,   // lblValidated
    Good,        // lblGood
    Bad,         // lblBad
    ElapsedTime, // lblEpalsedTime: written by the panel's own elapsed tick
    Percent,     // lblPercent: "37%" or empty
    Retrying,    // lblRetrying
    Retryed,     // lblRetryed
};

// What the panel talks to outside itself. Any member left empty gets the real
// thing: the system's network probe and one-second QTimer-based tick timers.
struct StatusPanelSeams
{
    std::unique_ptr<INetworkProbe> probe;
    std::unique_ptr<ITickTimer> elapsedTimer;
    std::unique_ptr<ITickTimer> onlineTimer;
};

// The strip under the report: run counters, the progress bar, the elapsed run time
// and the connection indicator, each at its place in the window's design (twips,
// converted with the screen's DPI). The panel keeps its height; its owner places it.
//
// Two one-second timers belong to it. The elapsed-time timer runs only while a run
// goes (startElapsedTimer/stopElapsedTimer) and counts ticks, skipping those that
// arrive while the run is paused. The online timer runs from construction to
// destruction and reads the network once per tick.
//
// GUI thread only. The panel owns its child widgets, timers and probe.
class StatusPanel final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kHeightTwips = 735;

    explicit StatusPanel(QWidget* parent = nullptr, StatusPanelSeams seams = {});
    ~StatusPanel() override;

    // Labels. Each starts with its design text: "-" for the counters, "00:00:00" for
    // the time, empty for the percentage.
    void setText(StatusLabel which, const QString& text);
    QString text(StatusLabel which) const;
    void setLabelVisible(StatusLabel which, bool visible);
    QLabel* label(StatusLabel which) const;

    // The progress bar (0..100), owned by the panel. Hidden until a load or a run
    // shows it; locked against the mouse.
    ColorBar* progressBar() const { return m_progressBar; }

    // Elapsed run time. The count survives the end of a run and the next start; only
    // resetElapsedTime (opening a list) clears it and shows "00:00:00".
    double elapsedSeconds() const { return m_elapsedSeconds; }
    void resetElapsedTime();
    void startElapsedTimer();
    void stopElapsedTimer();
    bool isElapsedTimerRunning() const;
    // Asked on every elapsed tick; a paused run does not count. Default: never paused.
    void setPausedQuery(std::function<bool()> isPaused);
    // One tick of the elapsed-time timer: +1 second unless paused, and show it.
    void elapsedTick();

    // Connection state. isOnline is the last reading of the network probe.
    bool isOnline() const { return m_isOnline; }
    // A reading without touching the icons (the window's first reading at load).
    bool readNetwork();
    // One tick of the online timer: read the network and show the matching icon.
    void onlineTick();
    bool isOnlineTimerRunning() const;
    // Which icon shows. Neither shows before the first tick.
    bool onlineIconShown() const;
    bool offlineIconShown() const;

    QSize sizeHint() const override;

signals:
    // Every reading of the network, by readNetwork or a tick, with its result.
    void networkRead(bool online);

private:
    QLabel* addLabel(const QString& objectName, const QString& text, int topTwips, int leftTwips,
                     int widthTwips);
    QRect twipsRect(int leftTwips, int topTwips, int widthTwips, int heightTwips) const;

    StatusPanelSeams m_seams;
    std::function<bool()> m_isPaused;
    double m_elapsedSeconds = 0.0;
    bool m_isOnline = false;

    QLabel* m_emails = nullptr;
    QLabel* m_validated = nullptr;
    QLabel* m_good = nullptr;
    QLabel* m_bad = nullptr;
    QLabel* m_elapsedTime = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_retrying = nullptr;
    QLabel* m_retryed = nullptr;
    QLabel* m_onlineIcon = nullptr;
    QLabel* m_offlineIcon = nullptr;
    ColorBar* m_progressBar = nullptr;
};

} // namespace corvanta

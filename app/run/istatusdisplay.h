#pragma once

#include <QString>

namespace corvanta {

// The labels of the status panel that the run, the loading and the save write.
enum class StatusLabel
{
    Emails, // loaded addresses
    Validated,
    Good,
    Bad,
    Retrying, // outcomes a retry run is to collect
    Retryed,  // outcomes a retry run has collected
    ElapsedTime,
    Percent,
};

// The status panel as the run logic sees it. Called on the GUI thread only.
class IStatusDisplay
{
public:
    virtual ~IStatusDisplay() = default;

    virtual void setLabelText(StatusLabel label, const QString& text) = 0;
    virtual void setPercentVisible(bool visible) = 0;
    // The progress bar; value is always within 0..100.
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    // The elapsed-time timer counts only while enabled (and not paused).
    virtual void setElapsedTimerEnabled(bool enabled) = 0;
};

} // namespace corvanta

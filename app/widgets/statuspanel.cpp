#include "statuspanel.h"

#include "colorbar.h"
#include "elapsedtime.h"
#include "propertystore.h"
#include "statusicons.h"
#include "twips.h"

#include <QLabel>
#include <cmath>

namespace corvanta {

namespace {

constexpr int kTickMs = 1000;
constexpr int kLabelHeightTwips = 255;
constexpr int kIconTwips = 240;
constexpr int kFirstRowTwips = 60;
constexpr int kSecondRowTwips = 360;
// The panel is as wide as its right-most element plus a margin.
constexpr int kWidthTwips = 9600;

} // namespace

StatusPanel::StatusPanel(QWidget* parent, StatusPanelSeams seams)
    : QWidget(parent), m_seams(std::move(seams))
{
    setObjectName(QStringLiteral("picStatusBar"));
    if (!m_seams.probe)
        m_seams.probe = createSystemNetworkProbe();
    if (!m_seams.elapsedTimer)
        m_seams.elapsedTimer = std::make_unique<QtTickTimer>(kTickMs);
    if (!m_seams.onlineTimer)
        m_seams.onlineTimer = std::make_unique<QtTickTimer>(kTickMs);

    // Top row: loaded, validated, good and bad counts and the elapsed time.
    addLabel(QStringLiteral("lblEmailsCaption"), QStringLiteral("Emails:"), kFirstRowTwips, 300,
             495);
    m_emails =
        addLabel(QStringLiteral("lblEmails"), QStringLiteral("-"), kFirstRowTwips, 840, 1155);
    addLabel(QStringLiteral("lblValidatedCaption"), QStringLiteral("Validated:"), kFirstRowTwips,
             2340, 735);
    m_validated =
        addLabel(QStringLiteral("lblValidated"), QStringLiteral("-"), kFirstRowTwips, 3060, 1155);
    addLabel(QStringLiteral("lblGoodCaption"), QStringLiteral("Good:"), kFirstRowTwips, 4560, 435);
    m_good = addLabel(QStringLiteral("lblGood"), QStringLiteral("-"), kFirstRowTwips, 5040, 1155);
    addLabel(QStringLiteral("lblBadCaption"), QStringLiteral("Bad:"), kFirstRowTwips, 6480, 375);
    m_bad = addLabel(QStringLiteral("lblBad"), QStringLiteral("-"), kFirstRowTwips, 6840, 1155);
    m_elapsedTime = addLabel(QStringLiteral("lblEpalsedTime"), QStringLiteral("00:00:00"),
                             kFirstRowTwips, 8760, 1095);

    // Second row: the progress bar with its percentage, and the retry counts.
    m_progressBar = new ColorBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    // The bar of this panel is a segmented gradient with a single-line border; every
    // other property keeps its saved default, which leaves it locked.
    m_progressBar->readProperties(PropertyBag({{QStringLiteral("BorderStyle"), 1},
                                               {QStringLiteral("GradientType"), 1},
                                               {QStringLiteral("Segmented"), true},
                                               {QStringLiteral("UseGradient"), true}}));
    // Reading the properties gives the bar its standard size; the panel's design
    // then places it. It is one label high.
    m_progressBar->setGeometry(twipsRect(60, kSecondRowTwips, 2895, kLabelHeightTwips));
    m_progressBar->hide();
    m_percent = addLabel(QStringLiteral("lblPercent"), QString(), kSecondRowTwips, 3060, 735);
    m_percent->hide();
    addLabel(QStringLiteral("lblRetryingCaption"), QStringLiteral("Retry:"), kSecondRowTwips, 4560,
             675);
    m_retrying =
        addLabel(QStringLiteral("lblRetrying"), QStringLiteral("-"), kSecondRowTwips, 5040, 1035);
    addLabel(QStringLiteral("lblRetryedCaption"), QStringLiteral("Retryed:"), kSecondRowTwips, 6480,
             675);
    m_retryed =
        addLabel(QStringLiteral("lblRetryed"), QStringLiteral("-"), kSecondRowTwips, 7140, 1215);

    // The two indicator icons share one spot; a tick shows exactly one of them.
    const QRect iconRect = twipsRect(9120, 420, kIconTwips, kIconTwips);
    m_onlineIcon = new QLabel(this);
    m_onlineIcon->setObjectName(QStringLiteral("imgOnline"));
    m_onlineIcon->setPixmap(onlineIcon());
    m_onlineIcon->setToolTip(tr("Network connected"));
    m_offlineIcon = new QLabel(this);
    m_offlineIcon->setObjectName(QStringLiteral("imgOffline"));
    m_offlineIcon->setPixmap(offlineIcon());
    m_offlineIcon->setToolTip(tr("Network disconnected"));
    for (QLabel* icon : {m_onlineIcon, m_offlineIcon}) {
        icon->setGeometry(iconRect);
        icon->setAlignment(Qt::AlignCenter);
        // Before the first reading neither state is claimed.
        icon->hide();
    }

    const int height = twipsToPixels(kHeightTwips, logicalDpiY());
    setMinimumHeight(height);
    setMaximumHeight(height);
    resize(twipsToPixels(kWidthTwips, logicalDpiX()), height);

    m_seams.elapsedTimer->setHandler([this] { elapsedTick(); });
    m_seams.onlineTimer->setHandler([this] { onlineTick(); });
    m_seams.onlineTimer->start();
}

StatusPanel::~StatusPanel()
{
    // No tick may reach a half-destroyed panel.
    m_seams.elapsedTimer->stop();
    m_seams.onlineTimer->stop();
}

QRect StatusPanel::twipsRect(int leftTwips, int topTwips, int widthTwips, int heightTwips) const
{
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    return QRect(twipsToPixels(leftTwips, dpiX), twipsToPixels(topTwips, dpiY),
                 twipsToPixels(widthTwips, dpiX), twipsToPixels(heightTwips, dpiY));
}

QLabel* StatusPanel::addLabel(const QString& objectName, const QString& text, int topTwips,
                              int leftTwips, int widthTwips)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    label->setGeometry(twipsRect(leftTwips, topTwips, widthTwips, kLabelHeightTwips));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* StatusPanel::label(StatusLabel which) const
{
    switch (which) {
    case StatusLabel::Emails:
        return m_emails;
    case StatusLabel::Validated:
        return m_validated;
    case StatusLabel::Good:
        return m_good;
    case StatusLabel::Bad:
        return m_bad;
    case StatusLabel::ElapsedTime:
        return m_elapsedTime;
    case StatusLabel::Percent:
        return m_percent;
    case StatusLabel::Retrying:
        return m_retrying;
    case StatusLabel::Retryed:
        return m_retryed;
    }
    return m_emails;
}

void StatusPanel::setText(StatusLabel which, const QString& text)
{
    label(which)->setText(text);
}

QString StatusPanel::text(StatusLabel which) const
{
    return label(which)->text();
}

void StatusPanel::setLabelVisible(StatusLabel which, bool visible)
{
    label(which)->setVisible(visible);
}

void StatusPanel::resetElapsedTime()
{
    m_elapsedSeconds = 0.0;
    m_elapsedTime->setText(formatElapsedTime(0));
}

void StatusPanel::startElapsedTimer()
{
    m_seams.elapsedTimer->start();
}

void StatusPanel::stopElapsedTimer()
{
    m_seams.elapsedTimer->stop();
}

bool StatusPanel::isElapsedTimerRunning() const
{
    return m_seams.elapsedTimer->isActive();
}

void StatusPanel::setPausedQuery(std::function<bool()> isPaused)
{
    m_isPaused = std::move(isPaused);
}

void StatusPanel::elapsedTick()
{
    if (m_isPaused && m_isPaused())
        return;
    // A count of ticks, not a clock reading: a tick the thread could not serve in
    // time is lost rather than made up.
    m_elapsedSeconds += 1.0;
    m_elapsedTime->setText(formatElapsedTime(std::llround(m_elapsedSeconds)));
}

bool StatusPanel::readNetwork()
{
    m_isOnline = m_seams.probe->NetworkIsAlive();
    emit networkRead(m_isOnline);
    return m_isOnline;
}

void StatusPanel::onlineTick()
{
    const bool online = readNetwork();
    QLabel* shown = online ? m_onlineIcon : m_offlineIcon;
    QLabel* hidden = online ? m_offlineIcon : m_onlineIcon;
    hidden->hide();
    shown->show();
    shown->raise();
}

bool StatusPanel::isOnlineTimerRunning() const
{
    return m_seams.onlineTimer->isActive();
}

bool StatusPanel::onlineIconShown() const
{
    return !m_onlineIcon->isHidden();
}

bool StatusPanel::offlineIconShown() const
{
    return !m_offlineIcon->isHidden();
}

QSize StatusPanel::sizeHint() const
{
    return QSize(twipsToPixels(kWidthTwips, logicalDpiX()),
                 twipsToPixels(kHeightTwips, logicalDpiY()));
}

} // namespace corvanta

#include "panelstatusdisplay.h"

#include "colorbar.h"
#include "statuspanel.h"

namespace corvanta {

namespace {

StatusPanel::Label panelLabel(StatusLabel label)
{
    switch (label) {
    case StatusLabel::Emails:
        return StatusPanel::Label::Emails;
    case StatusLabel::Validated:
        return StatusPanel::Label::Validated;
    case StatusLabel::Good:
        return StatusPanel::Label::Good;
    case StatusLabel::Bad:
        return StatusPanel::Label::Bad;
    case StatusLabel::Retrying:
        return StatusPanel::Label::Retrying;
    case StatusLabel::Retryed:
        return StatusPanel::Label::Retryed;
    case StatusLabel::ElapsedTime:
        return StatusPanel::Label::ElapsedTime;
    case StatusLabel::Percent:
        break;
    }
    return StatusPanel::Label::Percent;
}

} // namespace

PanelStatusDisplay::PanelStatusDisplay(StatusPanel& panel) : m_panel(panel) {}

void PanelStatusDisplay::setLabelText(StatusLabel label, const QString& text)
{
    m_panel.setText(panelLabel(label), text);
}

void PanelStatusDisplay::setPercentVisible(bool visible)
{
    m_panel.setLabelVisible(StatusPanel::Label::Percent, visible);
}

void PanelStatusDisplay::setProgressValue(int value)
{
    m_panel.progressBar()->setValue(value);
}

void PanelStatusDisplay::setProgressVisible(bool visible)
{
    m_panel.progressBar()->setVisible(visible);
}

void PanelStatusDisplay::setElapsedTimerEnabled(bool enabled)
{
    if (enabled)
        m_panel.startElapsedTimer();
    else
        m_panel.stopElapsedTimer();
}

} // namespace corvanta

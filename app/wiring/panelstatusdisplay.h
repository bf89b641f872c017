#pragma once

#include "istatusdisplay.h"

namespace corvanta {

class StatusPanel;

// The status panel as the run logic's status display. Borrows the panel, which
// must outlive this object. GUI thread only.
class PanelStatusDisplay final : public IStatusDisplay
{
public:
    explicit PanelStatusDisplay(StatusPanel& panel);

    void setLabelText(StatusLabel label, const QString& text) override;
    void setPercentVisible(bool visible) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void setElapsedTimerEnabled(bool enabled) override;

private:
    StatusPanel& m_panel;
};

} // namespace corvanta

#pragma once

#include <functional>

class QWidget;

// Builds the status panel in its own translation unit: the panel's network
// probe interface shares its name with the run logic's, so no file may see both.
namespace corvanta::bridge {

struct StatusPanelHookup
{
    QWidget* panel = nullptr;          // unparented; the window takes it over
    std::function<bool()> readNetwork; // one reading without touching the icons
};

// `isPaused` is asked on every elapsed-time tick; `onNetworkRead` gets every
// reading of the once-a-second online tick. Both must outlive the panel.
StatusPanelHookup CreateStatusPanel(std::function<bool()> isPaused,
                                    std::function<void(bool)> onNetworkRead);

} // namespace corvanta::bridge

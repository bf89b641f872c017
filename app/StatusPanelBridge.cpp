#include "StatusPanelBridge.h"

#include "statuspanel.h"

#include <QPointer>

namespace corvanta::bridge {

StatusPanelHookup CreateStatusPanel(std::function<bool()> isPaused,
                                    std::function<void(bool)> onNetworkRead)
{
    auto* panel = new StatusPanel;
    panel->setObjectName(QStringLiteral("picStatusBar"));
    panel->setPausedQuery(std::move(isPaused));
    QObject::connect(panel, &StatusPanel::networkRead, panel, std::move(onNetworkRead));

    StatusPanelHookup hookup;
    hookup.panel = panel;
    QPointer<StatusPanel> guarded(panel);
    hookup.readNetwork = [guarded] {
        return guarded ? guarded->readNetwork() : false;
    };
    return hookup;
}

} // namespace corvanta::bridge

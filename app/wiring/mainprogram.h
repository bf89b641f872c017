#pragma once

#include "networkprobe.h"

#include <QString>
#include <memory>

namespace corvanta {

class IDialogs;
class StatusPanel;
class WiredRunController;
class frmMain;

struct ProgramOptions
{
    // Reads the network state for the status panel and the run; the system's
    // probe when empty.
    std::unique_ptr<INetworkProbe> probe;
    // Answers the window's own modal questions; message boxes when null.
    // Must outlive the program.
    IDialogs* dialogs = nullptr;
};

// The whole corvanta program in one object: the stored settings, the first
// verifier (which starts the verification server), the main window with its
// status panel, and the run logic joined to them. main() builds one and shows
// its window; end-to-end tests build one the same way.
//
// Owns everything it builds. GUI thread only; needs a QApplication.
class MainProgram final
{
public:
    explicit MainProgram(ProgramOptions options = {});
    ~MainProgram();
    MainProgram(const MainProgram&) = delete;
    MainProgram& operator=(const MainProgram&) = delete;

    frmMain& window() const;
    StatusPanel& statusPanel() const;
    WiredRunController& run() const;

    // Opens a list named on the command line, as a file association passes it.
    void openList(const QString& path);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace corvanta

#pragma once

#include "commandids.h"
#include "runsettings.h"

#include <QString>
#include <QtGlobal>

namespace corvanta {

// Outcome code of one verification, as the verification object reports it.
enum VerifyConstants : qint32
{
    verifyValid = 0,
    verifyFormat = 1,
    verifyDomain = 2,
    verifyConnectMailServer = 3,
    verifyBadUser = 4,
    verifyBadFrom = 5,
};

// State of one verification object.
enum ProcessStatus : qint32
{
    StatusReady = 1,
    StatusWorking = 2,
    StatusFinished = 3,
};

// Colours of the result item, 0x00BBGGRR.
inline constexpr quint32 kColourValidating = 16711680; // pure blue
inline constexpr quint32 kColourGood = 26112;          // dark green
inline constexpr quint32 kColourBad = 255;             // pure red

// Icons of the result item, indexes into the report's image list.
inline constexpr int kIconValidating = 1;
inline constexpr int kIconGood = 2;
inline constexpr int kIconBad = 3;

// Title of every message box this program shows.
inline constexpr auto kMessageTitle = "Corvanta";

// Run state and counters of the main window. One instance lives as long as the
// window; the run, the list loading, the save and the status panel all read and
// write it on the GUI thread.
struct RunState
{
    qint32 ThreadCount = 5;
    double StartPosition = 1;
    bool RetryMode = false;
    bool IsRunning = false;
    bool IsPaused = false;
    bool IsOnline = true;
    bool StopRequested = false;
    bool ForceAbort = false;
    bool CloseWhenDone = false;
    // A list is being read or the results written (see BusyGuard).
    bool IsBusy = false;

    qint32 LoadedCount = 0;
    qint32 RunTotal = 0;
    qint32 ValidatedCount = 0;
    qint32 GoodCount = 0;
    qint32 BadCount = 0;
    qint32 RetryedCount = 0;
    double ElapsedSeconds = 0;

    // Full path of the list opened last; empty until a list is opened.
    QString ListFile;
};

} // namespace corvanta

#pragma once

#include <QString>
#include <QStringList>

namespace kiv {

/// What the command line asks for.
struct TCommandLine {
    QString CommandLineFile;     /// the last argument naming a ".C" or ".PJT" file; empty if none
    int TraceLevel = 0;          /// the last of "+DEBUG" (1), "-TOOLBAR" (2), "+DEBUGLOG" (3)
    bool CreateTraceFile = false;/// "+DEBUG" appeared: the trace file is created at once
    int PrintLines = 0;          /// "PRINTLINES=nn" print line override, 0 when absent
    QString Error;               /// a message for an argument that cannot be accepted
};

/// Parses the program's arguments (without the program name). Arguments are compared in upper
/// case; switches match whole arguments. A "PRINTLINES=" argument whose two characters after
/// "=" are not a decimal number is rejected: Error names it and the override stays unchanged.
TCommandLine ParseCommandLine(const QStringList &args);

}  // namespace kiv

#pragma once
// The programs as the guest starts them: the Linux command line (TORVAN_CLI), or a Windows program
// of the build under Wine (TORVAN_WINDOWS, through TORVAN_WINE_RUN).
#include <QProcess>
#include <QString>
#include <QStringList>

#include "ProgramRun.h"

// A program whose name ends in .exe runs under Wine, found in the Windows build where its path is
// relative; any other runs natively, "linux" standing for the Linux command line.
inline void StartInGuest(QProcess& process, const QString& program, const QStringList& arguments)
{
    if (!program.endsWith(".exe")) {
        process.start(program == "linux" ? qEnvironmentVariable("TORVAN_CLI") : program, arguments);
        return;
    }
    const QString exe =
        program.startsWith('/') ? program : qEnvironmentVariable("TORVAN_WINDOWS") + "/" + program;
    process.start(qEnvironmentVariable("TORVAN_WINE_RUN"), QStringList{exe} + arguments);
}

// Runs the program, stopping it once waitMs have passed.
inline Ran RunInGuest(const QString& program, const QStringList& arguments, int waitMs)
{
    QProcess process;
    StartInGuest(process, program, arguments);
    return Finished(process, waitMs);
}

#pragma once
// The programs as the guest starts them: the Linux command line (TORVAN_CLI), or a Windows program
// of the build under Wine (TORVAN_WINDOWS, through TORVAN_WINE_RUN).
#include <QProcess>
#include <QString>
#include <QStringList>

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

// A program run to its end: its exit code (-1 when it crashed or was stopped) and its output.
struct Ran {
    int exit = -1;
    QString out, err;
    QString Said() const { return QString("(%1): %2%3").arg(exit).arg(out, err); }
};

// Runs the program, stopping it once waitMs have passed.
inline Ran RunInGuest(const QString& program, const QStringList& arguments, int waitMs)
{
    QProcess process;
    StartInGuest(process, program, arguments);
    if (!process.waitForFinished(waitMs))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).remove('\r'),
            QString::fromUtf8(process.readAllStandardError()).remove('\r')};
}

#pragma once
// A program run to its end, as the suites and the guest run theirs.
#include <QProcess>
#include <QString>

// Its exit code (-1 where it did not start or end by itself), whether a signal not sent here
// ended it, and what it wrote to stdout and stderr, lines ended with LF (Windows' C runtime ends
// them with CR LF).
struct Ran {
    int exit = -1;
    bool crashed = false;
    QString out, err;
    QString Said() const { return QString("(%1): %2%3").arg(exit).arg(out, err); }
};

// Waits for the started process to end, killing it once waitMs have passed.
inline Ran Finished(QProcess& process, int waitMs)
{
    const bool stopped = !process.waitForFinished(waitMs);
    if (stopped)
        process.kill();
    process.waitForFinished();
    const bool ended =
        process.exitStatus() == QProcess::NormalExit && process.error() != QProcess::FailedToStart;
    const auto text = [](const QByteArray& bytes) { return QString(bytes).replace("\r\n", "\n"); };
    return {.exit = ended ? process.exitCode() : -1,
            .crashed = !ended && !stopped,
            .out = text(process.readAllStandardOutput()),
            .err = text(process.readAllStandardError())};
}

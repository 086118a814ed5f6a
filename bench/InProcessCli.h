#pragma once
// torvanreader-cli's commands run in this process over a back end, in real time and sleeping as
// the program does on this platform, answering No to any question: for the benchmarks that time
// them without a program's start-up.
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <chrono>

#include "cli/Cli.h"
#include "device/Waitable.h"

// Runs the command line (arguments without the program) over backend; its output and messages go
// to text. Gives the exit code.
inline int RunInProcess(IHidBackend& backend, const QStringList& arguments, QString& text)
{
    using namespace std::chrono;
    QTextStream out(&text), err(&text);
    std::atomic<cli::Stop> stop{cli::Stop::None};
    cli::Context context{
        .backend = [&](bool) -> IHidBackend& { return backend; },
        .out = out,
        .err = err,
        .readLine = [](milliseconds) { return std::optional<QString>(); },
        .stop = stop,
        .now = [] { return duration_cast<microseconds>(steady_clock::now().time_since_epoch()); },
        .sleep = PreciseSleep,
    };
    return cli::Run(QStringList{"torvanreader-cli"} + arguments, context);
}

#pragma once
// torvanreader-cli run in the benchmark's own process on the back end given, in real time and
// sleeping as the program does on this platform, answering No to any question.
#include <QStringList>
#include <QTextStream>

#include "cli/Cli.h"
#include "device/Waitable.h"

// The exit code; what the command said, stdout and stderr together, in said.
inline int RunCliInRealTime(IHidBackend& backend, const QStringList& arguments, QString& said)
{
    QTextStream out(&said), err(&said);
    std::atomic<cli::Stop> stop{cli::Stop::None};
    using namespace std::chrono;
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

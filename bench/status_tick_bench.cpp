// How long the heaviest Status poll tick (link block and signal block: ten register reads) holds
// the UI thread, on the simulated extender answering each command after 1 ms.
//
//   build/dev/bench/bench_status_tick [rounds]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimExtender.h"
#include "status/StatusPage.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<size_t>(q * (samples.size() - 1))];
    };
    std::printf("%-28s n=%zu  min %.2f ms  median %.2f ms  p95 %.2f ms  max %.2f ms\n", what,
                samples.size(), samples.front(), at(0.5), at(0.95), samples.back());
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    SimExtender extender;
    demo::Apply(extender, std::chrono::milliseconds(20000));
    CTorvanReaderDlg mainDlg(extender);
    PerformanceTool tool(&mainDlg);
    auto* status = dynamic_cast<Tool1Main*>(tool.Page(PerformanceTool::StatusTab));
    extender.SetFaults({.latencyMs = 1});

    std::vector<double> heaviest;  // ticks 0, 10, 20, ...: ten reads
    std::vector<double> fiveReads; // other even ticks and multiples of five
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 10; ++i) {
            const uint32_t tick = status->TickCount();
            const auto begin = Clock::now();
            status->OnTimer();
            const double took = Milliseconds(Clock::now() - begin);
            if (tick % 10 == 0)
                heaviest.push_back(took);
            else if (tick % 2 == 0 || tick % 5 == 0)
                fiveReads.push_back(took);
        }
    }
    std::printf("Status poll tick, simulated extender, 1 ms device latency\n");
    Report("ten reads (heaviest tick)", heaviest);
    Report("five reads", fiveReads);
    tool.done(0);
    return 0;
}

// How long `torvanreader-cli list` takes over eight simulated units, in process: enumerating and
// claiming them should take well under 50 ms, the rest being the eight connect checks at the
// device's answer time.
//   build/release/bench/bench_list_units [runs]
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "InProcessCli.h"
#include "device/sim/SimUnits.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    std::vector<std::unique_ptr<SimExtender>> units;
    std::vector<SimExtender*> pointers;
    for (int i = 0; i < 8; ++i) {
        const std::string name = std::to_string(i + 1);
        units.push_back(std::make_unique<SimExtender>("sim:unit-" + name, "SIM000" + name));
        pointers.push_back(units.back().get());
    }
    SimUnits pc(pointers);
    using namespace std::chrono;
    std::printf(
        "torvanreader-cli list, eight simulated units (target: 50 ms + the connect checks)\n");
    for (const int latencyMs : {0, 1}) {
        for (auto& unit : units)
            unit->SetFaults({.latencyMs = latencyMs});
        std::vector<double> ms;
        for (int run = 0; run < runs; ++run) {
            QString text;
            const auto start = steady_clock::now();
            if (RunInProcess(pc, {"list"}, text) != 0 || text.count("answers") != 8) {
                std::printf("FAILED: %s\n", qPrintable(text));
                return 1;
            }
            ms.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        std::printf("answers after %d ms: median %.2f ms  p90 %.2f ms  max %.2f ms; less the eight "
                    "answer times %.2f ms %s\n",
                    latencyMs, median, ms[ms.size() * 9 / 10], ms.back(), median - 8.0 * latencyMs,
                    median - 8.0 * latencyMs < 50 ? "OK" : "MISSED");
    }
    return 0;
}

// How long `torvanreader-cli status --format prometheus` takes to read and print every unit's
// metrics, in process, over one and eight simulated units answering after 1 ms: each unit is
// opened, given the connect check, read (ten status registers, two identifications) and let go of
// on a thread of its own, all at once.
//   build/release/bench/bench_metrics [runs]
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "InProcessCli.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimUnits.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    using namespace std::chrono;
    std::printf("torvanreader-cli status --format prometheus, answers after 1 ms (target: eight "
                "units under 100 ms)\n");
    for (const int count : {1, 8}) {
        std::vector<std::unique_ptr<SimExtender>> units;
        std::vector<SimExtender*> pointers;
        for (int i = 0; i < count; ++i) {
            const std::string name = std::to_string(i + 1);
            units.push_back(std::make_unique<SimExtender>("sim:unit-" + name, "SIM000" + name));
            demo::Apply(*units.back(), seconds(30)); // a healthy moment of the demo
            units.back()->SetFaults({.latencyMs = 1});
            pointers.push_back(units.back().get());
        }
        SimUnits pc(pointers);
        std::vector<double> ms;
        for (int run = 0; run < runs; ++run) {
            QString text;
            const auto start = steady_clock::now();
            if (RunInProcess(pc, {"status", "--format", "prometheus"}, text) != 0
                || text.count(QRegularExpression("torvanreader_up\\{[^}]*\\} 1")) != count) {
                std::printf("FAILED: %s\n", qPrintable(text));
                return 1;
            }
            ms.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        std::printf("%d unit%s: median %.2f ms  p90 %.2f ms  max %.2f ms  (%.2f ms a unit)%s\n",
                    count, count > 1 ? "s" : " ", median, ms[ms.size() * 9 / 10], ms.back(),
                    median / count, count == 8 ? (median < 100 ? "  OK" : "  MISSED") : "");
    }
    return 0;
}

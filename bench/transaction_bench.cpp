// How long one transaction holds the UI thread on the simulated extender: a status register read
// with the device answering at once and with 1 ms latency.
//   build/release/bench/bench_transaction [count]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device/HidCmd.h"
#include "device/RegisterMap.h"
#include "device/StatusRegister.h"
#include "device/sim/SimExtender.h"

namespace {

void Measure(int latencyMs, int count)
{
    SimExtender extender;
    constexpr regs::Register kRead = regs::kLocalSignals;
    extender.SetRegister(kRead.group, kRead.number, {0x05, 0, 0, 0});
    extender.SetFaults({.latencyMs = latencyMs});
    CHidCmd channel(extender);
    if (!channel.Transport().Open()) {
        std::puts("simulated extender did not open");
        std::exit(1);
    }
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        RegisterData out{};
        const auto start = std::chrono::steady_clock::now();
        if (!ReadStatusRegister(channel, kRead.group, kRead.number, out)) {
            std::puts("register read failed");
            std::exit(1);
        }
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("latency %d ms: %d reads, mean %.1f us, median %.1f us, p99 %.1f us, max %.1f us\n",
                latencyMs, count, sum / count, micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    Measure(0, count);
    Measure(1, count);
    return 0;
}

// The connect check's round trip on the first extender plugged into this PC, through the
// system's own HID stack: run beside the Windows build under Wine by bench/wine-guest.sh.
//   bench_connect_check [count]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device/HidCmd.h"
#include "device/StatusRegister.h"
#include "device/SystemDevices.h"

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::unique_ptr<IHidBackend> backend = MakeSystemBackend();
    CHidCmd channel(*backend);
    const CHidIO::Opening opening = channel.Transport().Open();
    if (!opening) {
        std::fprintf(stderr, "no extender opened: %s\n", opening.Why().c_str());
        return 1;
    }
    std::vector<double> millis;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!AnswersConnectCheck(channel)) {
            std::fprintf(stderr, "connect check %d not answered\n", i + 1);
            return 1;
        }
        millis.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("connect check: %d round trips, median %.3f ms, p90 %.3f ms, max %.3f ms\n", count,
                millis[millis.size() / 2], millis[millis.size() * 9 / 10], millis.back());
    return 0;
}

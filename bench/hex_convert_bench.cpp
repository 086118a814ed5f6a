// Converting a 16 MiB image from Intel HEX (32-byte records, CR LF, about 40 MB of text): our
// conversion against srec_cat on the same file in the same run, and our peak memory against the
// bound of the file's size plus twice the image's size.
//   bench_hex_convert [work directory, default /tmp]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "HexText.h"
#include "firmware/ImageFile.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kImageSize = 16 * 1024 * 1024;
constexpr int kOurRuns = 5;
constexpr int kSrecCatRuns = 3;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct ChildRun {
    bool ok = false;
    double ms = 0;
    std::string output;
};

// Runs a program to its end, its standard output going to outputPath; its wall time.
ChildRun RunChild(std::vector<std::string> args, const std::string& outputPath = "/dev/null")
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    int status = 0;
    waitpid(pid, &status, 0);
    ChildRun run{WIFEXITED(status) && WEXITSTATUS(status) == 0, MsSince(start), {}};
    std::ifstream output(outputPath);
    run.output.assign(std::istreambuf_iterator<char>(output), {});
    return run;
}

// The process's peak resident memory in KiB. Read from the kernel's count for this process image
// (VmHWM), which starts afresh at exec, unlike the peak that wait4 reports.
long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

int ConvertOnly(const char* path)
{
    const firmware::LoadedImage loaded = firmware::ReadImageFile(std::filesystem::path(path));
    std::printf("%ld\n", PeakKiB());
    return loaded.result == firmware::LoadResult::Loaded && loaded.image.size() == kImageSize ? 0
                                                                                              : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--convert-only") == 0)
        return ConvertOnly(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--idle") == 0) {
        std::printf("%ld\n", PeakKiB());
        return 0;
    }
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::string hexPath = dir + "/torvan-bench-16mib.hex";
    const std::string srecOut = dir + "/torvan-bench-16mib.srec_cat.bin";

    std::vector<uint8_t> image(kImageSize);
    std::mt19937 random(16);
    for (uint8_t& byte : image)
        byte = static_cast<uint8_t>(random());
    const std::string text = hextext::Write(image);
    std::ofstream(hexPath, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    std::printf("image %zu bytes, HEX file %zu bytes (%s)\n", image.size(), text.size(),
                hexPath.c_str());

    std::vector<double> ours;
    for (int run = 0; run < kOurRuns; ++run) {
        const auto start = Clock::now();
        const firmware::LoadedImage loaded =
            firmware::ReadImageFile(std::filesystem::path(hexPath));
        ours.push_back(MsSince(start));
        if (loaded.result != firmware::LoadResult::Loaded || loaded.image != image) {
            std::printf("FAILED: our conversion differs from the image\n");
            return 1;
        }
    }
    std::sort(ours.begin(), ours.end());
    std::printf("ours (read + convert, in process): best %.1f ms, median %.1f ms of %d runs\n",
                ours.front(), ours[ours.size() / 2], kOurRuns);

    const std::string peakPath = dir + "/torvan-bench-peak.txt";
    const ChildRun idle = RunChild({"/proc/self/exe", "--idle"}, peakPath);
    const ChildRun child = RunChild({"/proc/self/exe", "--convert-only", hexPath}, peakPath);
    std::remove(peakPath.c_str());
    const double peakMiB = (std::stol("0" + child.output) - std::stol("0" + idle.output)) / 1024.0;
    const double boundMiB = (text.size() + 2.0 * image.size()) / (1024.0 * 1024.0);
    std::printf("ours in a process of its own: %.1f ms, peak memory %.1f MiB above an idle process "
                "(bound: file + 2 x image = %.1f MiB) %s\n",
                child.ms, peakMiB, boundMiB, child.ok && peakMiB <= boundMiB ? "OK" : "OVER");

    std::vector<double> srec;
    for (int run = 0; run < kSrecCatRuns; ++run) {
        const ChildRun done = RunChild({"srec_cat", hexPath, "-intel", "-o", srecOut, "-binary"});
        if (!done.ok) {
            std::printf("FAILED: srec_cat did not run (Debian package srecord)\n");
            return 1;
        }
        srec.push_back(done.ms);
    }
    std::sort(srec.begin(), srec.end());
    if (ReadAll(srecOut) != image) {
        std::printf("FAILED: srec_cat's binary differs from the image\n");
        return 1;
    }
    std::printf("srec_cat: best %.1f ms, median %.1f ms of %d runs\n", srec.front(),
                srec[srec.size() / 2], kSrecCatRuns);
    const double ratio = srec.front() / ours.front();
    std::printf("ratio srec_cat / ours (best runs): %.1fx (target >= 10x) %s\n", ratio,
                ratio >= 10 ? "OK" : "MISSED");
    std::remove(hexPath.c_str());
    std::remove(srecOut.c_str());
    return 0;
}

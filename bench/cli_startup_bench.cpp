// How long `torvanreader-cli --demo status --json` takes from exec to exit, against `true` and a
// bare QtCore program in the same run (aim: within 10 ms of the bare program).
//   build/release/bench/bench_cli_startup [runs]
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

// Milliseconds from spawn to exit of each run, with stdout to /dev/null.
std::vector<double> Time(std::vector<std::string> command, int runs)
{
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0
            || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed\n", argv[0]);
            std::exit(1);
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::string(argv[1]) == "--bare") {
        QCoreApplication app(argc, argv);
        return 0;
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    const std::string dir = std::string(argv[0]).substr(0, std::string(argv[0]).rfind('/') + 1);
    const struct {
        const char* name;
        std::vector<std::string> command;
    } programs[]{{"true", {"true"}},
                 {"bare QtCore program", {argv[0], "--bare"}},
                 {"torvanreader-cli --demo status --json",
                  {dir + "../cli/torvanreader-cli", "--demo", "status", "--json"}}};
    double bare = 0;
    for (const auto& program : programs) {
        const std::vector<double> ms = Time(program.command, runs);
        const double median = ms[ms.size() / 2];
        std::printf("%-40s median %6.2f ms  p90 %6.2f ms  min %6.2f ms", program.name, median,
                    ms[ms.size() * 9 / 10], ms.front());
        if (bare > 0)
            std::printf("  (%+.2f ms against the bare program)", median - bare);
        if (program.command[0] == argv[0])
            bare = median;
        std::printf("\n");
    }
    return 0;
}

// How long the program takes to start and end: `zendrel --version` of the build with the window module beside the
// same of a build without the window (goal: within 5 ms), and, for scale, the window mode of the first up to its
// "needs a display" message, which loads the module and Qt. The programs take turns, so that a busy moment of a
// shared machine falls on all of them alike.
// Usage: startup_benchmark PROGRAM_WITH_WINDOW PROGRAM_WITHOUT_WINDOW [STARTS]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr double kGoalMs = 5.0;

struct Case {
    const char* label;
    std::vector<std::string> words;  // the program and its arguments
    bool withoutDisplay;             // DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM emptied
    std::vector<double> ms;
};

// One start to the end of the process, its output thrown away: the milliseconds, or a negative number on a failure.
double TimeOneStart(const Case& c) {
    std::vector<std::string> words = c.words;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string text = *variable;
        const bool display = text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                             text.rfind("QT_QPA_PLATFORM=", 0) == 0;
        if (!(c.withoutDisplay && display)) variables.push_back(text);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_WITH_WINDOW PROGRAM_WITHOUT_WINDOW [STARTS]\n", argv[0]);
        return 2;
    }
    const int starts = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
    std::vector<Case> cases = {
        {"zendrel --version, with the window module", {argv[1], "--version"}, false, {}},
        {"zendrel --version, built without the window", {argv[2], "--version"}, false, {}},
        {"zendrel without a display (module and Qt loaded)", {argv[1]}, true, {}},
    };
    // The window mode is a hundred times slower; a tenth of the starts tell its figure well enough.
    for (int round = 0; round < starts; ++round) {
        for (Case& c : cases) {
            if (c.withoutDisplay && round % 10 != 0) continue;
            const double ms = TimeOneStart(c);
            if (ms < 0) {
                std::fprintf(stderr, "startup benchmark: %s did not run\n", c.words.front().c_str());
                return 1;
            }
            c.ms.push_back(ms);
        }
    }
    std::printf("Start time of the program, %d starts each (the window mode %d), taking turns:\n", starts,
                static_cast<int>(cases[2].ms.size()));
    std::printf("  %-52s %10s %10s\n", "", "median ms", "mean ms");
    for (const Case& c : cases) {
        const double mean = std::accumulate(c.ms.begin(), c.ms.end(), 0.0) / static_cast<double>(c.ms.size());
        std::printf("  %-52s %10.2f %10.2f\n", c.label, Median(c.ms), mean);
    }
    const double difference = Median(cases[0].ms) - Median(cases[1].ms);
    std::printf("Goal: --version within %.0f ms of the build without the window: %+.2f ms, %s\n", kGoalMs, difference,
                difference <= kGoalMs ? "met" : "NOT met");
    return difference <= kGoalMs ? 0 : 1;
}

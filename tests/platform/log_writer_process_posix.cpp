#include "log_writer_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace zendrel::testsupport {

LogWriterProcess::LogWriterProcess(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), ZENDREL_LOG_WRITER);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, ZENDREL_LOG_WRITER, nullptr, nullptr, argv.data(), environ) == 0) process_ = pid;
}

LogWriterProcess::~LogWriterProcess() {
    if (!Started() || exitCode_) return;
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    Wait();
}

bool LogWriterProcess::Reap(bool wait) {
    if (exitCode_) return true;
    if (!Started()) return false;
    const pid_t pid = static_cast<pid_t>(process_);
    int status = 0;
    pid_t reaped;
    do {
        reaped = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == 0) return false;
    exitCode_ = reaped == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

}  // namespace zendrel::testsupport

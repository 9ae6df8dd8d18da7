#include "dovecot/message_maker.h"

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace zendrel::testsupport {

namespace {

bool RunMaker(const std::vector<std::string>& arguments, std::string& error) {
    const std::string script = std::string(ZENDREL_DOVECOT_SUPPORT_DIR) + "/make_messages.py";
    std::vector<std::string> words = {"python3", script};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        error = "fork failed";
        return false;
    }
    if (child == 0) {
        ::execvp("python3", argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = script + " failed (is python3 installed?)";
        return false;
    }
    return true;
}

}  // namespace

bool MakeTestMessages(const std::filesystem::path& folder, std::string& error) {
    return RunMaker({"tests", folder.string()}, error);
}

bool MakeBenchMessages(const std::filesystem::path& folder, int count, long bigBytes, std::string& error) {
    return RunMaker({"bench", folder.string(), std::to_string(count), std::to_string(bigBytes)}, error);
}

}  // namespace zendrel::testsupport

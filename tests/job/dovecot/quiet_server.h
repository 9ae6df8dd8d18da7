#pragma once
// A POP3 server on 127.0.0.1 that stops talking: one that accepts a connection and never greets, or one that logs the
// client in, offers one mail and falls silent in the middle of sending it. For the stop path, which must end a run
// that waits on such a server.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zendrel::testsupport {

class QuietPop3Server {
public:
    enum class Silence {
        BeforeGreeting,  // accepts and says nothing at all
        InsideRetr,      // greets, logs in, answers TOP, sends the start of RETR 1 and then nothing more
    };

    explicit QuietPop3Server(Silence silence);
    ~QuietPop3Server();
    QuietPop3Server(const QuietPop3Server&) = delete;
    QuietPop3Server& operator=(const QuietPop3Server&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    std::int32_t Port() const { return port_; }

    // Waits until the server has fallen silent on a client (accepted it, or sent the start of the RETR reply).
    // False when that did not happen within `limit`.
    bool WaitUntilSilent(std::chrono::milliseconds limit);
    // Whether the client has closed its connection.
    bool WaitUntilClientLeft(std::chrono::milliseconds limit);

    // The command lines received, without CR LF.
    std::vector<std::string> Commands() const;

private:
    void Serve();
    void Converse(int fd);
    bool Answer(int fd, const std::string& line);

    const Silence silence_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::int32_t port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool silent_ = false;
    bool clientLeft_ = false;
    std::vector<std::string> commands_;
    std::thread thread_;
};

}  // namespace zendrel::testsupport

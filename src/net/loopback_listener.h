#pragma once
// A small HTTP listener on the loopback address, for a browser that is redirected back to this program: it reads a
// request's head, hands out its request line, and answers with a page.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zendrel {

// A browser's request head is well below this; a longer one is no redirect of ours.
inline constexpr std::size_t kLongestRequestHead = 8 * 1024;
// How long one connection may take to send its head: a client that sends nothing (or byte by byte) is dropped then.
// Connections are read side by side, so a slow one does not hold up the browser's.
inline constexpr std::int32_t kRequestHeadTimeoutMs = 10000;

enum class ListenOutcome {
    kRequest,    // a request head was read: its line is in `requestLine`, and Answer() is owed
    kTimedOut,   // the deadline passed first
    kCancelled,  // Cancel() ended the wait
    kFailed,     // the listening sockets failed
};

struct ListenedRequest {
    ListenOutcome outcome = ListenOutcome::kFailed;
    std::string requestLine;  // "GET /?code=... HTTP/1.1", without its line end
};

class LoopbackListener {
public:
    virtual ~LoopbackListener() = default;
    // The port it listens at, on 127.0.0.1 and, where the system has it, on ::1 too (browsers may resolve "localhost"
    // to either).
    virtual std::uint16_t Port() const = 0;
    // Waits for the next request until `deadlineMs` (SteadyMilliseconds) and reads its head.
    virtual ListenedRequest Next(std::int64_t deadlineMs) = 0;
    // Answers the request Next() handed out with `status` and the HTML page `html`, and closes its connection.
    virtual void Answer(int status, std::string_view html) = 0;
    // May be called from another thread: ends a Next() under way within a fraction of a second, and every later one.
    virtual void Cancel() = 0;
};

// None when no port can be had on 127.0.0.1.
std::unique_ptr<LoopbackListener> OpenLoopbackListener();

}  // namespace zendrel

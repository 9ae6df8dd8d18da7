#pragma once
// Reads one server reply from a transport: waits for data, re-arms the inactivity time-out with every piece, and
// ends early on cancellation, a closed connection or a broken one.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/transport.h"
#include "pop3/clock.h"
#include "pop3/reply_assembler.h"

namespace zendrel {

enum class ReadOutcome {
    kComplete,   // the reply reached its end
    kClosed,     // the peer closed the connection before the reply was complete
    kTimedOut,   // no data for the whole time-out
    kCancelled,  // the cancel flag was set while reading
    kFailed,     // reading from the connection failed
};

// Bytes that arrived after the end of the reply read last: the start of the replies that follow it when several
// commands are answered at once.
class UnreadBytes {
public:
    std::string_view View() const { return std::string_view(bytes_).substr(offset_); }
    bool empty() const { return offset_ == bytes_.size(); }
    void Consume(std::size_t count) { offset_ += count; }
    void Keep(std::string_view rest) {
        bytes_.assign(rest);
        offset_ = 0;
    }
    void Clear() { Keep({}); }

private:
    std::string bytes_;
    std::size_t offset_ = 0;
};

// Feeds `reply` until it is complete: first the unread bytes, then what the connection brings; the bytes past the
// reply's end are left in `unread`. A reply that does not complete keeps what it has, so a later call can go on with
// it. Clears the cancel flag (and the transport's interrupt) when it starts, so a request made before the read is
// dropped, and again when it acts on it. Each network read goes into `buffer` before it joins the reply.
ReadOutcome ReadReply(Transport& transport, const Clock& clock, std::span<char> buffer, UnreadBytes& unread,
                      ReplyAssembler& reply, std::atomic<bool>& cancelRequested, std::int32_t timeoutMs);

// The same without waiting: only the unread bytes and what the connection already holds. True when `reply` is
// complete; whatever else happens (nothing more there, a closed or broken connection) is left for a waiting read to
// meet.
bool TryCompleteReply(Transport& transport, std::span<char> buffer, UnreadBytes& unread, ReplyAssembler& reply);

}  // namespace zendrel

#pragma once
// Reads one server reply from a transport: waits for data, re-arms the inactivity time-out with every piece, and
// ends early on cancellation, a closed connection or a broken one.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "net/transport.h"
#include "pop3/clock.h"
#include "pop3/delivery_rate.h"
#include "pop3/reply_assembler.h"

namespace zendrel {

enum class [[nodiscard]] ReadOutcome {
    kComplete,   // the reply reached its end
    kTooLarge,   // the reply went past its limit; what it holds is not kept (it may not have ended yet)
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

// When a cancel ends a read.
enum class CancelWhen {
    kAtOnce,   // the read ends at the next look at the flag
    kStalled,  // only when the connection has brought nothing for a while: a drain that data keeps moving goes on
};

// Where replies come from: the connection, the bytes already read past the last reply, and the buffer each network
// read goes into before it joins a reply. The cancel flag is the one another thread sets; `rate`, when given, learns
// how fast pieces arrive while a read waits for them.
struct ReplySource {
    Transport& transport;
    const Clock& clock;
    std::span<char> buffer;
    UnreadBytes& unread;
    std::atomic<bool>& cancelRequested;
    std::int64_t& lastArrivalMs;  // when the connection last brought bytes, on the clock; kept from read to read
    DeliveryRate* rate = nullptr;
};

// Feeds `reply` until it is complete: first the unread bytes, then what the connection brings; the bytes past the
// reply's end are left in the unread bytes. A reply that does not complete keeps what it has, so a later call can go
// on with it. Returns kTooLarge as soon as the reply goes past its limit (also when it already had), leaving the rest
// of it to DiscardRest. Clears the cancel flag (and the transport's interrupt) when it starts, so a request made
// before the read is dropped, and again when it acts on it. However steadily data comes, the read ends by `notAfterMs`
// on the clock.
ReadOutcome ReadReply(const ReplySource& source, ReplyAssembler& reply, std::int32_t timeoutMs,
                      CancelWhen cancelWhen = CancelWhen::kAtOnce,
                      std::int64_t notAfterMs = std::numeric_limits<std::int64_t>::max());

// Reads on to the end of a reply that went past its limit, throwing the bytes away, until `deadlineMs` at the latest:
// unlike the inactivity time-out, the deadline does not move as data arrives, so a server that never stops sending
// cannot hold the reader. kComplete once the end is there.
ReadOutcome DiscardRest(const ReplySource& source, ReplyAssembler& reply, std::int64_t deadlineMs);

// Like ReadReply without waiting: only the unread bytes and what the connection already holds. True when `reply` is
// complete or has gone past its limit; whatever else happens (nothing more there, a closed or broken connection) is
// left for a waiting read to meet.
bool TryCompleteReply(const ReplySource& source, ReplyAssembler& reply);

}  // namespace zendrel

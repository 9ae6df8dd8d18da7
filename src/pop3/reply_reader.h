#pragma once
// Reads one server reply from a transport: waits for data, re-arms the inactivity time-out with every piece, and
// ends early on cancellation, a closed connection or a broken one.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "pop3/clock.h"
#include "pop3/reply_assembler.h"
#include "pop3/transport.h"

namespace zendrel {

enum class ReadOutcome {
    kComplete,   // the reply reached its end
    kClosed,     // the peer closed the connection before the reply was complete
    kTimedOut,   // no data for the whole time-out
    kCancelled,  // the cancel flag was set while reading
    kFailed,     // reading from the connection failed
};

struct ReplyReadResult {
    ReadOutcome outcome;
    std::string text;  // empty unless the outcome is kComplete: a reply cut short is no reply
};

// Clears the cancel flag (and the transport's interrupt) when it starts, so a request made before the read is
// dropped, and again when it acts on it. Each network read goes into `buffer` before it joins the reply.
ReplyReadResult ReadReply(Transport& transport, const Clock& clock, std::span<char> buffer,
                          std::atomic<bool>& cancelRequested, std::int32_t timeoutMs, ReplyMode mode);

}  // namespace zendrel

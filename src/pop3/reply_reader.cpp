#include "pop3/reply_reader.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace zendrel {
namespace {

// The wait that ends just after the deadline, so that a quiet connection times out with one wait.
std::int32_t WaitUntilPast(std::int64_t deadline, std::int64_t now) {
    const std::int64_t wait = deadline - now + 1;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(wait, 0, std::numeric_limits<std::int32_t>::max()));
}

bool FeedUnread(UnreadBytes& unread, ReplyAssembler& reply) {
    if (unread.empty()) return reply.IsComplete();
    std::size_t used = 0;
    const bool complete = reply.Append(unread.View(), used);
    unread.Consume(used);
    return complete;
}

bool FeedPiece(std::string_view piece, UnreadBytes& unread, ReplyAssembler& reply) {
    std::size_t used = 0;
    if (!reply.Append(piece, used)) return false;
    unread.Keep(piece.substr(used));
    return true;
}

}  // namespace

ReadOutcome ReadReply(Transport& transport, const Clock& clock, std::span<char> buffer, UnreadBytes& unread,
                      ReplyAssembler& reply, std::atomic<bool>& cancelRequested, std::int32_t timeoutMs) {
    cancelRequested.store(false);
    transport.ClearInterrupt();
    if (FeedUnread(unread, reply)) return ReadOutcome::kComplete;
    std::int64_t deadline = clock.NowMs() + timeoutMs;
    for (;;) {
        const std::int64_t now = clock.NowMs();
        if (now > deadline) return ReadOutcome::kTimedOut;
        if (cancelRequested.exchange(false)) {
            transport.ClearInterrupt();
            return ReadOutcome::kCancelled;
        }

        switch (transport.WaitReadable(WaitUntilPast(deadline, now))) {
            case WaitResult::kReadable: {
                const std::ptrdiff_t count = transport.Read(buffer.data(), buffer.size());
                if (count < 0) return ReadOutcome::kFailed;
                if (count == 0) break;
                deadline = clock.NowMs() + timeoutMs;
                if (FeedPiece(std::string_view(buffer.data(), static_cast<std::size_t>(count)), unread, reply)) {
                    return ReadOutcome::kComplete;
                }
                break;
            }
            case WaitResult::kClosed:
                // Whatever arrived lacks its end: a message cut short must never pass for a whole one.
                return ReadOutcome::kClosed;
            case WaitResult::kFailed:
                return ReadOutcome::kFailed;
            case WaitResult::kInterrupted:
                // An interrupt meant for an earlier read (its flag already cleared) must not end this one.
                if (!cancelRequested.load()) transport.ClearInterrupt();
                break;
            case WaitResult::kTimedOut:
                break;
        }
    }
}

bool TryCompleteReply(Transport& transport, std::span<char> buffer, UnreadBytes& unread, ReplyAssembler& reply) {
    if (FeedUnread(unread, reply)) return true;
    while (transport.WaitReadable(0) == WaitResult::kReadable) {
        const std::ptrdiff_t count = transport.Read(buffer.data(), buffer.size());
        if (count <= 0) return false;
        if (FeedPiece(std::string_view(buffer.data(), static_cast<std::size_t>(count)), unread, reply)) return true;
    }
    return false;
}

}  // namespace zendrel

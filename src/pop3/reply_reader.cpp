#include "pop3/reply_reader.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

namespace zendrel {
namespace {

// How long the connection must have gone without data for a stalled-only cancel to end a read. Far longer than the
// gaps a busy machine puts between the pieces of replies that keep coming, far shorter than the second a stop may take.
constexpr std::int64_t kStallMs = 200;

// The wait that ends just after the deadline, so that a quiet connection times out with one wait.
std::int32_t WaitUntilPast(std::int64_t deadline, std::int64_t now) {
    const std::int64_t wait = deadline - now + 1;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(wait, 0, std::numeric_limits<std::int32_t>::max()));
}

void FeedUnread(UnreadBytes& unread, ReplyAssembler& reply) {
    if (unread.empty() || reply.IsComplete()) return;
    std::size_t used = 0;
    reply.Append(unread.View(), used);
    unread.Consume(used);
}

void FeedPiece(std::string_view piece, UnreadBytes& unread, ReplyAssembler& reply) {
    std::size_t used = 0;
    if (reply.Append(piece, used)) unread.Keep(piece.substr(used));
}

struct ReadRules {
    std::int64_t deadline;
    std::int32_t rearmMs;    // each piece moves the deadline this far ahead (never past notAfter); 0 keeps it fixed
    std::int64_t notAfter;
    bool stopWhenTooLarge;   // hand a reply past its limit back at once, instead of reading to its end
    CancelWhen cancelWhen;
};

ReadOutcome ReadUntilDone(const ReplySource& source, ReplyAssembler& reply, ReadRules rules) {
    Transport& transport = source.transport;
    const Clock& clock = source.clock;
    UnreadBytes& unread = source.unread;
    std::atomic<bool>& cancelRequested = source.cancelRequested;
    struct StretchEnd {
        DeliveryRate* rate;
        ~StretchEnd() {
            if (rate != nullptr) rate->ReadEnded();
        }
    } stretchEnd{source.rate};
    cancelRequested.store(false);
    transport.ClearInterrupt();
    const auto done = [&]() -> std::optional<ReadOutcome> {
        if (rules.stopWhenTooLarge && reply.TooLarge()) return ReadOutcome::kTooLarge;
        if (reply.IsComplete()) return ReadOutcome::kComplete;
        return std::nullopt;
    };
    FeedUnread(unread, reply);
    if (const auto outcome = done()) return *outcome;
    for (;;) {
        const std::int64_t now = clock.NowMs();
        if (now > rules.deadline) return ReadOutcome::kTimedOut;
        if (cancelRequested.exchange(false)) {
            transport.ClearInterrupt();
            const bool stalled = now - source.lastArrivalMs >= kStallMs;
            if (rules.cancelWhen == CancelWhen::kAtOnce || stalled) return ReadOutcome::kCancelled;
        }

        switch (transport.WaitReadable(WaitUntilPast(rules.deadline, now))) {
            case WaitResult::kReadable: {
                const std::ptrdiff_t count = transport.Read(source.buffer.data(), source.buffer.size());
                if (count < 0) return ReadOutcome::kFailed;
                if (count == 0) break;
                const std::int64_t arrived = clock.NowMs();
                source.lastArrivalMs = arrived;
                if (source.rate != nullptr) source.rate->Arrived(static_cast<std::size_t>(count), arrived);
                if (rules.rearmMs > 0) rules.deadline = std::min(arrived + rules.rearmMs, rules.notAfter);
                FeedPiece(std::string_view(source.buffer.data(), static_cast<std::size_t>(count)), unread, reply);
                if (const auto outcome = done()) return *outcome;
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

}  // namespace

ReadOutcome ReadReply(const ReplySource& source, ReplyAssembler& reply, std::int32_t timeoutMs,
                      CancelWhen cancelWhen, std::int64_t notAfterMs) {
    const std::int64_t deadline = std::min(source.clock.NowMs() + timeoutMs, notAfterMs);
    return ReadUntilDone(source, reply, {deadline, timeoutMs, notAfterMs, true, cancelWhen});
}

ReadOutcome DiscardRest(const ReplySource& source, ReplyAssembler& reply, std::int64_t deadlineMs) {
    return ReadUntilDone(source, reply, {deadlineMs, 0, deadlineMs, false, CancelWhen::kAtOnce});
}

bool TryCompleteReply(const ReplySource& source, ReplyAssembler& reply) {
    FeedUnread(source.unread, reply);
    while (!reply.IsComplete() && !reply.TooLarge() && source.transport.WaitReadable(0) == WaitResult::kReadable) {
        const std::ptrdiff_t count = source.transport.Read(source.buffer.data(), source.buffer.size());
        if (count <= 0) return false;
        FeedPiece(std::string_view(source.buffer.data(), static_cast<std::size_t>(count)), source.unread, reply);
    }
    return reply.IsComplete() || reply.TooLarge();
}

}  // namespace zendrel

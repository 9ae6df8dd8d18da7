#include "pop3/reply_assembler.h"

#include <algorithm>
#include <cstring>

#include "common/text.h"

namespace zendrel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTerminator = "\r\n.\r\n";
constexpr std::string_view kStuffedLineStart = "\r\n..";
// The terminating line after the body's last CR LF.
constexpr std::size_t kTerminatingLine = 3;
// A size announced by the server is only a hint; beyond this the text grows as it arrives.
constexpr std::size_t kLargestSizeHint = 64u << 20;
constexpr std::size_t kSliceSize = 256u << 10;
// Up to this the text grows by doubling; beyond it, at once to the most its reply can hold. Every growth copies the
// text, and for a moment holds it twice: a big reply must not be copied when it is nearly whole.
constexpr std::size_t kGrowthByDoubling = 16u << 20;
// What a server may add to a listed size: a tenth, and a little for the smallest messages.
constexpr std::uint64_t kListedSizeSlack = 64u << 10;
// A scan listing line ("4294967295 18446744073709551615\r\n") is shorter; the rest is room for a chatty server.
constexpr std::uint64_t kSizeListLineLimit = 64;
constexpr std::uint64_t kUniqueIdLineLimit = 128;

// The size a RETR status line announces ("+OK 120 octets"), or 0.
std::size_t AnnouncedSize(std::string_view statusLine) {
    if (!StartsWithNoCase(statusLine, "+ok ")) return 0;
    std::size_t size = 0;
    std::size_t at = 4;
    for (; at < statusLine.size() && statusLine[at] >= '0' && statusLine[at] <= '9'; ++at) {
        size = size * 10 + static_cast<std::size_t>(statusLine[at] - '0');
        if (size > kLargestSizeHint) return 0;
    }
    return StartsWithNoCase(statusLine.substr(at), " octets") ? size : 0;
}

}  // namespace

std::uint64_t ListedMessageLimit(std::uint64_t listedSize) {
    // A listed size beyond any limit a reply may have gets the largest one, and no sum can overflow.
    const std::uint64_t size = std::min(listedSize, kUnlistedMessageLimit);
    return size + size / 10 + kListedSizeSlack;
}

std::uint64_t SizeListLimit(std::int32_t count) {
    return kStatusLineLimit + static_cast<std::uint64_t>(std::max(count, 0)) * kSizeListLineLimit;
}

std::uint64_t UniqueIdListLimit(std::int32_t count) {
    return kStatusLineLimit + static_cast<std::uint64_t>(std::max(count, 0)) * kUniqueIdLineLimit;
}

ReplyAssembler::ReplyAssembler(ReplyMode mode, std::uint64_t bodyLimit) : mode_(mode), bodyLimit_(bodyLimit) {}

bool ReplyAssembler::Append(std::string_view piece, std::size_t& used) {
    used = 0;
    // A big piece may hold the start of later replies: taken in slices, the bytes copied past this reply's end stay
    // few, and a reply past its limit is caught within a slice of it.
    while (!IsComplete() && used < piece.size()) {
        if (discarding_) {
            used += DiscardSlice(piece.substr(used, kSliceSize));
            continue;
        }
        // Never more than a few bytes past the limit, so the text stays within what its reply may hold.
        const std::string_view slice = piece.substr(used, std::min<std::uint64_t>(kSliceSize, RoomBeforeLimit()));
        const std::size_t oldSize = text_.size();
        MakeRoom(slice.size());
        text_.append(slice);
        // A pattern may straddle two pieces, so each search starts a pattern's length minus one before the new bytes.
        if (statusLineEnd_ == std::string::npos) FindStatusLineEnd(oldSize >= 1 ? oldSize - 1 : 0);
        if (!IsComplete() && mode_ == ReplyMode::kMultiLine && statusLineEnd_ != std::string::npos) {
            FindTerminator(oldSize >= kTerminator.size() - 1 ? oldSize - (kTerminator.size() - 1) : 0);
        }
        if (IsComplete()) {
            used += end_ - oldSize;
            text_.resize(end_);
        } else {
            used += slice.size();
        }
        if (mode_ == ReplyMode::kMultiLine && statusLineEnd_ != std::string::npos) CountStuffedDots();

        const bool overLimit = statusLineEnd_ == std::string::npos
                                   ? text_.size() > kStatusLineLimit
                                   : statusLineEnd_ > kStatusLineLimit || BodySize() > bodyLimit_;
        if (overLimit) {
            tooLarge_ = true;
            if (IsComplete()) {
                std::string().swap(text_);
                return true;
            }
            StartDiscarding();
        } else if (discardBody_ && statusLineEnd_ != std::string::npos && !IsComplete()) {
            StartDiscarding();
        }
    }
    return IsComplete();
}

void ReplyAssembler::DiscardBody() {
    discardBody_ = true;
    if (!discarding_ && !IsComplete() && statusLineEnd_ != std::string::npos) StartDiscarding();
}

void ReplyAssembler::FindStatusLineEnd(std::size_t scanFrom) {
    const std::size_t lineEnd = std::string_view(text_).find(kLineEnd, scanFrom);
    if (lineEnd == std::string::npos) return;
    statusLineEnd_ = lineEnd + kLineEnd.size();
    if (mode_ == ReplyMode::kMultiLine && !discardBody_) {
        // Room for the whole message at once spares the copies of a growing text. Stuffing and the terminator
        // add a little to the announced size; the reply's limit caps what the server can make us reserve.
        const std::size_t announced = AnnouncedSize(std::string_view(text_).substr(0, lineEnd));
        if (announced > 0 && announced <= bodyLimit_) {
            text_.reserve(statusLineEnd_ + announced + announced / 64 + 64);
        }
    }
    // An error answer to a multi-line command is only its status line: no terminator follows it.
    if (EndsAtStatusLine()) end_ = statusLineEnd_;
}

void ReplyAssembler::FindTerminator(std::size_t scanFrom) {
    // The terminator's first CR LF may be the status line's own ("+OK\r\n.\r\n" is an empty list).
    scanFrom = std::max(scanFrom, statusLineEnd_ - kLineEnd.size());
    const std::size_t found = std::string_view(text_).find(kTerminator, scanFrom);
    if (found != std::string::npos) end_ = found + kTerminator.size();
}

void ReplyAssembler::CountStuffedDots() {
    const std::string_view view(text_);
    // A stuffed first line follows the status line's CR LF.
    std::size_t from = std::max(stuffedScanFrom_, statusLineEnd_ - kLineEnd.size());
    for (std::size_t at = view.find(kStuffedLineStart, from); at != std::string::npos;
         at = view.find(kStuffedLineStart, from)) {
        ++stuffedDots_;
        from = at + kStuffedLineStart.size();
    }
    // The last bytes may begin a stuffed line whose dots are still on their way.
    const std::size_t partial = kStuffedLineStart.size() - 1;
    stuffedScanFrom_ = std::max(from, view.size() >= partial ? view.size() - partial : 0);
}

std::uint64_t ReplyAssembler::RoomBeforeLimit() const {
    if (statusLineEnd_ == std::string::npos) return kStatusLineLimit + 1 - std::min(text_.size(), kStatusLineLimit);
    if (EndsAtStatusLine()) return kSliceSize;
    // The bytes that may still come before the body is one byte past its limit, however they turn out to be
    // stuffed: the terminator and a partial line end are not counted in the body.
    const std::uint64_t raw = text_.size() - statusLineEnd_;
    const std::uint64_t most = bodyLimit_ + stuffedDots_ + kTerminator.size() + 1;
    return most > raw ? most - raw : 1;
}

void ReplyAssembler::MakeRoom(std::size_t extra) {
    const std::size_t needed = text_.size() + extra;
    if (needed <= text_.capacity()) return;
    std::size_t capacity = std::max(needed, text_.capacity() * 2);
    if (capacity > kGrowthByDoubling) {
        // A stuffed dot comes with at least three bytes of the body (".", CR, LF), so the text never holds more than
        // the status line, the body and a third of it, and the terminator. Room that is never filled costs address
        // space, not memory.
        const std::uint64_t most = kStatusLineLimit + bodyLimit_ + bodyLimit_ / 3 + kTerminator.size() + 8;
        capacity = std::max<std::uint64_t>(needed, std::min<std::uint64_t>(most, text_.max_size()));
    }
    text_.reserve(capacity);
}

std::uint64_t ReplyAssembler::BodySize() const {
    if (statusLineEnd_ == std::string::npos || EndsAtStatusLine()) return 0;
    // Until the reply is complete, a "." and a CR at its end may begin the terminating line instead of a body line.
    const std::size_t through =
        IsComplete() ? end_ - kTerminatingLine : text_.size() - std::min<std::size_t>(text_.size() - statusLineEnd_, 2);
    const std::uint64_t raw = through > statusLineEnd_ ? through - statusLineEnd_ : 0;
    return raw > stuffedDots_ ? raw - stuffedDots_ : 0;
}

bool ReplyAssembler::EndsAtStatusLine() const {
    return mode_ == ReplyMode::kSingleLine || StartsWithNoCase(text_, "-err");
}

void ReplyAssembler::StartDiscarding() {
    // A status line that never ends may still be that of an error, which ends at its CR LF.
    endsAtStatusLine_ = EndsAtStatusLine();
    const std::size_t keep = (endsAtStatusLine_ ? kLineEnd.size() : kTerminator.size()) - 1;
    tail_.assign(text_, text_.size() >= keep ? text_.size() - keep : 0);
    std::string().swap(text_);  // the memory goes back at once
    statusLineEnd_ = std::string::npos;
    discarding_ = true;
}

std::size_t ReplyAssembler::DiscardSlice(std::string_view slice) {
    const std::string_view pattern = endsAtStatusLine_ ? kLineEnd : kTerminator;
    // An end that begins in the bytes kept from before.
    std::string joint = tail_;
    joint.append(slice.substr(0, pattern.size() - 1));
    std::size_t endInSlice = std::string::npos;
    if (const std::size_t found = joint.find(pattern); found != std::string::npos) {
        endInSlice = found + pattern.size() - tail_.size();
    } else if (const std::size_t inSlice = slice.find(pattern); inSlice != std::string::npos) {
        endInSlice = inSlice + pattern.size();
    }
    if (endInSlice != std::string::npos) {
        end_ = 0;
        tail_.clear();
        return endInSlice;
    }
    const std::size_t keep = pattern.size() - 1;
    joint = tail_;
    joint.append(slice.substr(slice.size() >= keep ? slice.size() - keep : 0));
    tail_.assign(joint, joint.size() >= keep ? joint.size() - keep : 0);
    return slice.size();
}

std::string ReplyAssembler::TakeText() {
    std::string text;
    if (!tooLarge_ && !discarding_ && !discardBody_) {
        if (mode_ == ReplyMode::kMultiLine) UndoDotStuffing(text_);
        text = std::move(text_);
    }
    text_.clear();
    statusLineEnd_ = std::string::npos;
    end_ = std::string::npos;
    stuffedDots_ = 0;
    stuffedScanFrom_ = 0;
    tooLarge_ = false;
    discarding_ = false;
    discardBody_ = false;
    endsAtStatusLine_ = false;
    tail_.clear();
    return text;
}

void UndoDotStuffing(std::string& text) {
    const std::string_view view(text);
    std::size_t stuffed = view.find(kStuffedLineStart);
    if (stuffed == std::string::npos) return;
    // Everything before the first stuffed line stays where it is; later runs move left over the removed dots.
    std::size_t write = stuffed;
    std::size_t read = stuffed;
    while (stuffed != std::string::npos) {
        const std::size_t keep = stuffed + kStuffedLineStart.size() - 1 - read;  // through CR LF and the first "."
        std::memmove(text.data() + write, text.data() + read, keep);
        write += keep;
        read = stuffed + kStuffedLineStart.size();  // past the dot that the server added
        stuffed = view.find(kStuffedLineStart, read);
    }
    std::memmove(text.data() + write, text.data() + read, text.size() - read);
    text.resize(write + text.size() - read);
}

}  // namespace zendrel

#include "pop3/reply_assembler.h"

#include <algorithm>
#include <cstring>

#include "common/text.h"

namespace zendrel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTerminator = "\r\n.\r\n";
constexpr std::string_view kStuffedLineStart = "\r\n..";
// A size announced by the server is only a hint; beyond this the text grows as it arrives.
constexpr std::size_t kLargestSizeHint = 64u << 20;
constexpr std::size_t kSliceSize = 256u << 10;

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

ReplyAssembler::ReplyAssembler(ReplyMode mode) : mode_(mode) {}

bool ReplyAssembler::Append(std::string_view piece, std::size_t& used) {
    used = 0;
    // A big piece may hold the start of later replies: taken in slices, the bytes copied past this reply's end stay
    // few.
    while (!IsComplete() && used < piece.size()) {
        const std::string_view slice = piece.substr(used, kSliceSize);
        const std::size_t oldSize = text_.size();
        text_.append(slice);
        // A pattern may straddle two pieces, so each search starts a pattern's length minus one before the new bytes.
        if (statusLineEnd_ == std::string::npos) FindStatusLineEnd(oldSize >= 1 ? oldSize - 1 : 0);
        if (!IsComplete() && mode_ == ReplyMode::kMultiLine && statusLineEnd_ != std::string::npos) {
            FindTerminator(oldSize >= kTerminator.size() - 1 ? oldSize - (kTerminator.size() - 1) : 0);
        }
        if (IsComplete()) {
            used += end_ - oldSize;
            text_.resize(end_);
            return true;
        }
        used += slice.size();
    }
    return IsComplete();
}

void ReplyAssembler::FindStatusLineEnd(std::size_t scanFrom) {
    const std::size_t lineEnd = std::string_view(text_).find(kLineEnd, scanFrom);
    if (lineEnd == std::string::npos) return;
    statusLineEnd_ = lineEnd + kLineEnd.size();
    if (mode_ == ReplyMode::kMultiLine) {
        // Room for the whole message at once spares the copies of a growing text. Stuffing and the terminator
        // add a little to the announced size.
        const std::size_t announced = AnnouncedSize(std::string_view(text_).substr(0, lineEnd));
        if (announced > 0) text_.reserve(statusLineEnd_ + announced + announced / 64 + 64);
    }
    // An error answer to a multi-line command is only its status line: no terminator follows it.
    if (mode_ == ReplyMode::kSingleLine || StartsWithNoCase(text_, "-err")) end_ = statusLineEnd_;
}

void ReplyAssembler::FindTerminator(std::size_t scanFrom) {
    // The terminator's first CR LF may be the status line's own ("+OK\r\n.\r\n" is an empty list).
    scanFrom = std::max(scanFrom, statusLineEnd_ - kLineEnd.size());
    const std::size_t found = std::string_view(text_).find(kTerminator, scanFrom);
    if (found != std::string::npos) end_ = found + kTerminator.size();
}

std::string ReplyAssembler::TakeText() {
    if (mode_ == ReplyMode::kMultiLine) UndoDotStuffing(text_);
    std::string text = std::move(text_);
    text_.clear();
    statusLineEnd_ = std::string::npos;
    end_ = std::string::npos;
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

// The POP3 reply assembler, fed the same bytes whole and in pieces of every size the input asks for: it completes
// exactly where a plain reading of the protocol says, never earlier, never from bytes after the end, and undoes the
// dot-stuffing line by line; past a limit it keeps nothing and still ends there.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"
#include "fuzz_require.h"
#include "pop3/reply_assembler.h"

namespace zendrel::fuzz {
namespace {

// Where a reply read in `mode` ends in `bytes`, by the protocol read plainly: none when it has not ended.
std::optional<std::size_t> ReferenceEnd(std::string_view bytes, ReplyMode mode) {
    const std::size_t statusEnd = bytes.find("\r\n");
    if (statusEnd == std::string_view::npos) return std::nullopt;
    if (mode == ReplyMode::kSingleLine || StartsWithNoCase(bytes, "-err")) return statusEnd + 2;
    // The status line's own CR LF may begin the terminator: "+OK\r\n.\r\n" is an empty list.
    const std::size_t terminator = bytes.find("\r\n.\r\n", statusEnd);
    if (terminator == std::string_view::npos) return std::nullopt;
    return terminator + 5;
}

std::string ReferenceUnstuffed(std::string_view reply) {
    std::string out;
    for (std::size_t i = 0; i < reply.size();) {
        if (reply.substr(i, 4) == "\r\n..") {
            out += "\r\n.";
            i += 4;
        } else {
            out += reply[i++];
        }
    }
    return out;
}

}  // namespace
}  // namespace zendrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zendrel;
    using namespace zendrel::fuzz;
    if (size < 2) return 0;
    const ReplyMode mode = (data[0] & 1) != 0 ? ReplyMode::kMultiLine : ReplyMode::kSingleLine;
    std::uint32_t pieceSeed = data[1];
    const std::string_view bytes = AsText(data + 2, size - 2);

    const std::optional<std::size_t> end = ReferenceEnd(bytes, mode);

    ReplyAssembler whole(mode);
    std::size_t used = 0;
    FUZZ_REQUIRE(whole.Append(bytes, used) == end.has_value());
    // The bytes after the end are left for the next reply.
    FUZZ_REQUIRE(used == (end ? *end : bytes.size()));

    ReplyAssembler pieces(mode);
    std::size_t fed = 0;
    bool complete = false;
    while (fed < bytes.size()) {
        pieceSeed = pieceSeed * 1103515245u + 12345u;
        const std::size_t piece = 1 + (pieceSeed >> 16) % 17;
        const std::string_view next = bytes.substr(fed, piece);
        complete = pieces.Append(next, used);
        FUZZ_REQUIRE(used == (complete ? *end - fed : next.size()));
        fed += next.size();
        // Complete exactly once the end has arrived, not a byte earlier.
        FUZZ_REQUIRE(complete == (end.has_value() && fed >= *end));
        if (complete) break;
    }
    FUZZ_REQUIRE(pieces.IsComplete() == whole.IsComplete());

    const std::string fromWhole = whole.TakeText();
    const std::string fromPieces = pieces.TakeText();
    FUZZ_REQUIRE(fromWhole == fromPieces);
    if (end) {
        const std::string_view reply = bytes.substr(0, *end);
        FUZZ_REQUIRE(fromWhole == (mode == ReplyMode::kMultiLine ? ReferenceUnstuffed(reply) : std::string(reply)));
    }
    FUZZ_REQUIRE(whole.size() == 0 && !whole.IsComplete());

    // With a small limit: a reply past it ends where the protocol says all the same, keeping nothing, and one within
    // it is the same text.
    ReplyAssembler limited(mode, data[1] % 64);
    FUZZ_REQUIRE(limited.Append(bytes, used) == end.has_value());
    FUZZ_REQUIRE(used == (end ? *end : bytes.size()));
    if (limited.TooLarge()) FUZZ_REQUIRE(limited.size() == 0);
    const std::string fromLimited = limited.TakeText();
    if (end && fromLimited != fromWhole) FUZZ_REQUIRE(fromLimited.empty());
    return 0;
}

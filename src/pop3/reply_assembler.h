#pragma once
// Collects the bytes of one server reply and decides, from the bytes alone, when it is complete, and when it has
// grown past what such a reply may hold.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zendrel {

enum class ReplyMode {
    kSingleLine,  // a status line: complete at its CR LF
    kMultiLine,   // CAPA, LIST, TOP, RETR: complete at "\r\n.\r\n", or at the CR LF of a "-ERR" status line
};

// A server decides how much it sends, so every reply has a ceiling. The status line (its CR LF included) may hold at
// most kStatusLineLimit bytes; the lines after it, counted with the dot-stuffing undone and without the terminating
// "." line, at most the reply's body limit.
inline constexpr std::size_t kStatusLineLimit = 64u << 10;
// The header of one message (TOP n 0), and the other lists the session asks for (CAPA).
inline constexpr std::uint64_t kHeaderReplyLimit = 1u << 20;
// A message whose size the server did not list; no reply is ever kept beyond this.
inline constexpr std::uint64_t kUnlistedMessageLimit = 256u << 20;
// A message whose size LIST gave: that size, with room for a server that counts a little differently.
std::uint64_t ListedMessageLimit(std::uint64_t listedSize);
// A LIST reply for `count` messages: a line of a number and a size each, with room to spare.
std::uint64_t SizeListLimit(std::int32_t count);
// A UIDL reply for `count` messages: a number and a unique id of at most 70 characters each, with room to spare.
std::uint64_t UniqueIdListLimit(std::int32_t count);

class ReplyAssembler {
public:
    explicit ReplyAssembler(ReplyMode mode, std::uint64_t bodyLimit = kUnlistedMessageLimit);

    // Adds the next piece of the reply. Returns true once the reply is complete. `used` tells how many bytes of the
    // piece belong to this reply: all of them until it ends inside the piece, where the rest starts the next reply.
    // A reply that goes past its limit keeps nothing more: its bytes are only looked through for its end.
    bool Append(std::string_view piece, std::size_t& used);
    // As above, for a caller that has no use for the bytes after the reply's end.
    bool Append(std::string_view piece) {
        std::size_t used = 0;
        return Append(piece, used);
    }
    bool IsComplete() const { return end_ != std::string::npos; }
    // The reply went past its limit: it fails whole, and nothing of it is kept.
    bool TooLarge() const { return tooLarge_; }
    std::uint64_t BodyLimit() const { return bodyLimit_; }
    // For a reply that nobody will read: from here on its lines are only looked through for its end, not kept.
    void DiscardBody();
    // Bytes kept so far.
    std::size_t size() const { return text_.size(); }

    // The reply (everything collected when it never completed), with the dot-stuffing of a multi-line reply undone;
    // empty for a reply that went past its limit or was asked to discard its body. The assembler is empty afterwards.
    std::string TakeText();

private:
    void FindStatusLineEnd(std::size_t scanFrom);
    void FindTerminator(std::size_t scanFrom);
    void CountStuffedDots();
    // The body's bytes so far as the reader will see them: unstuffed, without the terminating "." line.
    std::uint64_t BodySize() const;
    // How many more bytes the text may take in before it is sure to be past its limit.
    std::uint64_t RoomBeforeLimit() const;
    void MakeRoom(std::size_t extra);
    bool EndsAtStatusLine() const;
    // Past the limit, or discarding: keeps only the last bytes, which may begin the pattern that ends the reply.
    void StartDiscarding();
    // Looks through a slice for the reply's end without keeping it; the bytes of the slice that belong to the reply.
    std::size_t DiscardSlice(std::string_view slice);

    ReplyMode mode_;
    std::uint64_t bodyLimit_;
    std::string text_;
    std::size_t statusLineEnd_ = std::string::npos;  // just past the CR LF of the first line
    std::size_t end_ = std::string::npos;            // just past the reply's last byte
    std::uint64_t stuffedDots_ = 0;                  // dots the server put in front of lines so far
    std::size_t stuffedScanFrom_ = 0;
    bool tooLarge_ = false;
    bool discardBody_ = false;  // asked for: discarding starts once the status line is in
    bool discarding_ = false;
    bool endsAtStatusLine_ = false;  // while discarding: a status line alone, not a list
    std::string tail_;               // while discarding: the last bytes seen
};

// Removes the extra leading "." that the server puts before every line that begins with "." (RFC 1939, 3), in place
// and in one pass. The first line is a status line and is never stuffed.
void UndoDotStuffing(std::string& text);

}  // namespace zendrel

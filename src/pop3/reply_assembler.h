#pragma once
// Collects the bytes of one server reply and decides, from the bytes alone, when it is complete.

#include <cstddef>
#include <string>
#include <string_view>

namespace zendrel {

enum class ReplyMode {
    kSingleLine,  // a status line: complete at its CR LF
    kMultiLine,   // CAPA, TOP, RETR: complete at "\r\n.\r\n", or at the CR LF of a "-ERR" status line
};

class ReplyAssembler {
public:
    explicit ReplyAssembler(ReplyMode mode);

    // Adds the next piece of the reply. Returns true once the reply is complete. `used` tells how many bytes of the
    // piece belong to this reply: all of them until it ends inside the piece, where the rest starts the next reply.
    bool Append(std::string_view piece, std::size_t& used);
    // As above, for a caller that has no use for the bytes after the reply's end.
    bool Append(std::string_view piece) {
        std::size_t used = 0;
        return Append(piece, used);
    }
    bool IsComplete() const { return end_ != std::string::npos; }
    // Bytes collected so far.
    std::size_t size() const { return text_.size(); }

    // The reply (everything collected when it never completed), with the dot-stuffing of a multi-line reply undone.
    // The assembler is empty afterwards.
    std::string TakeText();

private:
    void FindStatusLineEnd(std::size_t scanFrom);
    void FindTerminator(std::size_t scanFrom);

    ReplyMode mode_;
    std::string text_;
    std::size_t statusLineEnd_ = std::string::npos;  // just past the CR LF of the first line
    std::size_t end_ = std::string::npos;            // just past the reply's last byte
};

// Removes the extra leading "." that the server puts before every line that begins with "." (RFC 1939, 3), in place
// and in one pass. The first line is a status line and is never stuffed.
void UndoDotStuffing(std::string& text);

}  // namespace zendrel

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zendrel {

// A message file held the way a retrieval leaves it: CR LF line ends, and the text beginning with the rest of a
// status line (a CR LF in front of the first header field).
class RetrievedMessage {
public:
    RetrievedMessage() = default;
    // Takes the raw bytes of a message file with two spare bytes in front: buffer[0..1] are overwritten, the file's
    // bytes start at buffer[2]. Line ends are made CR LF in place and an mbox "From " first line is skipped.
    explicit RetrievedMessage(std::string bufferWithSpareFront);

    // The text to split: CR LF, then the message's header fields and body.
    std::string_view Text() const { return std::string_view(buffer_).substr(start_); }

private:
    std::string buffer_;
    std::size_t start_ = 0;
};

// Number of bytes a reader leaves in front of the file's bytes for the RetrievedMessage constructor.
inline constexpr std::size_t kRetrievedMessageSpareFront = 2;

// Turns every LF that no CR precedes into CR LF, from `from` on. Works in place: a text that has none is not copied,
// one that has some grows once.
void NormaliseLineEnds(std::string& text, std::size_t from);

// Reads a message file into a RetrievedMessage. On failure returns false and puts the reason into `error`.
bool ReadMessageFile(const std::string& path, RetrievedMessage& message, std::string& error);

}  // namespace zendrel

#pragma once
// A retrieved mail as the run reads it: its header as the filters see it, and the message split into its parts.

#include <string>
#include <string_view>
#include <vector>

#include "mime/message_part.h"

namespace zendrel {

// The header of a TOP reply (its text after the status indicator) as the filters read it: made single-byte header
// text when the header declares UTF-8 without 8bit, and then its encoded words decoded. In this order the words'
// bytes are read in their own charsets only; read again as UTF-8, a decoded "ü" or "€" of header text would be lost.
std::string ReadableHeader(std::string_view header);

// A retrieved message and its parts (SplitMessage's list). The parts are views into the text it holds, so it is held
// once and stays where it is: neither copied nor moved.
class MailMessage {
public:
    // `text` as a retrieval leaves it: the rest of the status line, CR LF, the header fields and the body.
    explicit MailMessage(std::string text);
    MailMessage(const MailMessage&) = delete;
    MailMessage& operator=(const MailMessage&) = delete;

    std::string_view Text() const { return text_; }
    const std::vector<MessagePart>& Parts() const { return parts_; }

private:
    const std::string text_;
    const std::vector<MessagePart> parts_;
};

}  // namespace zendrel

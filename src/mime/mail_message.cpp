#include "mime/mail_message.h"

#include <utility>

#include "common/text.h"
#include "mime/encoded_words.h"
#include "mime/header_field.h"
#include "mime/multipart.h"

namespace zendrel {

std::string ReadableHeader(std::string_view header) {
    const std::string encoding = LowerCase(GetHeaderField(header, "Content-Transfer-Encoding"));
    const std::string type = LowerCase(GetHeaderField(header, "Content-Type"));
    if (type.find("utf-8") != std::string::npos && encoding.find("8bit") == std::string::npos) {
        return DecodeEncodedWords(Utf8ToWindows1252Lossy(header));
    }
    return DecodeEncodedWords(header);
}

MailMessage::MailMessage(std::string text) : text_(std::move(text)), parts_(SplitMessage(text_)) {}

}  // namespace zendrel

#include "test_mail.h"

#include "plain_codecs.h"

namespace zendrel::testsupport {
namespace {

constexpr const char* kBoundary = "=_zendrel-test-boundary_0042";
constexpr std::size_t kBase64LineLength = 76;

// The base64 text with LF line ends, as the rest of the message.
std::string Base64Lines(const std::string& bytes) {
    std::string encoded = testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::Standard, kBase64LineLength);
    std::string lines;
    lines.reserve(encoded.size() + 1);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\r') continue;
        lines += encoded[i];
    }
    lines += '\n';
    return lines;
}

}  // namespace

std::string ComposeMail(const TestMail& mail) {
    std::string out;
    out += "From: " + mail.from + "\n";
    out += "To: reader@example.org\n";
    out += "Subject: " + mail.subject + "\n";
    if (mail.date) out += "Date: " + *mail.date + "\n";
    if (mail.messageId) out += "Message-ID: " + *mail.messageId + "\n";
    out += "MIME-Version: 1.0\n";
    if (mail.attachments.empty()) {
        out += "Content-Type: text/plain; charset=us-ascii\n";
        out += "Content-Transfer-Encoding: 7bit\n\n";
        out += mail.text + "\n";
        return out;
    }
    out += std::string("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\n\n";
    out += "This is a multi-part message in MIME format.\n\n";
    out += std::string("--") + kBoundary + "\n";
    out += "Content-Type: text/plain; charset=us-ascii\n";
    out += "Content-Transfer-Encoding: 7bit\n\n";
    out += mail.text + "\n\n";
    for (const TestAttachment& attachment : mail.attachments) {
        out += std::string("--") + kBoundary + "\n";
        out += "Content-Type: " + attachment.contentType + "; name=\"" + attachment.name + "\"\n";
        out += "Content-Transfer-Encoding: base64\n";
        out += "Content-Disposition: " + attachment.disposition + "; filename=\"" + attachment.name + "\"\n\n";
        out += Base64Lines(attachment.bytes);
        out += "\n";
    }
    out += std::string("--") + kBoundary + "--\n";
    return out;
}

TestMail MailWithAttachment(const std::string& id, const std::string& attachmentName) {
    TestMail mail;
    mail.subject = "Files " + id;
    mail.messageId = "<" + id + "@zendrel.test>";
    mail.attachments.push_back({attachmentName, AttachmentBytesFor(attachmentName)});
    return mail;
}

std::string AttachmentBytesFor(const std::string& attachmentName) {
    return "contents of " + attachmentName + "\r\nsecond line;1;2;3\r\n";
}

std::string AllByteValues(int rounds) {
    std::string bytes;
    for (int round = 0; round < rounds; ++round) {
        // Every round in another order, so that each value stands beside many others (a CR before an LF and after).
        for (int value = 0; value < 256; ++value) bytes += static_cast<char>((value * (2 * round + 1) + round) & 0xFF);
    }
    return bytes;
}

}  // namespace zendrel::testsupport

#pragma once
// Mail as a mail program writes it: a multipart/mixed message with a short text and base64 attachments, for putting
// into a test mailbox. The attachment bytes are what a receiver must end up with after saving.

#include <optional>
#include <string>
#include <vector>

namespace zendrel::testsupport {

struct TestAttachment {
    std::string name;
    std::string bytes;
    std::string contentType = "application/octet-stream";
    std::string disposition = "attachment";  // "inline" as Apple Mail sends a PDF
};

struct TestMail {
    std::string from = "Sender <sender@example.org>";
    std::string subject = "Files";
    // As the Date field holds it; none leaves the field out.
    std::optional<std::string> date = "Tue, 10 Jun 2025 09:30:00 +0200";
    // With its angle brackets; none leaves the Message-ID field out.
    std::optional<std::string> messageId;
    std::string text = "Please find the files attached.";
    std::vector<TestAttachment> attachments;
};

// The message with LF line ends (the Maildir custom; the server sends CR LF). Without attachments it is a plain text
// message.
std::string ComposeMail(const TestMail& mail);

// A mail with one small attachment named `attachmentName` and the Message-ID "<" + id + "@zendrel.test>".
TestMail MailWithAttachment(const std::string& id, const std::string& attachmentName);

// The attachment bytes MailWithAttachment puts in: different for every name.
std::string AttachmentBytesFor(const std::string& attachmentName);

// Every byte value from 0 to 255, `rounds` times over, CR and LF among them in every order.
std::string AllByteValues(int rounds);

}  // namespace zendrel::testsupport

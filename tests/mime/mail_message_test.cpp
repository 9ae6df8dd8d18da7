#include "mime/mail_message.h"

#include <gtest/gtest.h>

#include <string>

#include "mime/attachments.h"
#include "mime/header_field.h"

namespace zendrel {
namespace {

TEST(ReadableHeader, DecodesEncodedWordsAndReadsUtf8HeaderTextAsSingleByteUnlessItIs8bit) {
    struct Case {
        std::string fields;
        std::string subject;
    };
    const std::string raw = "K\xC3\xA4se \xE2\x82\xAC \xE2\x84\x96 ";  // Käse € №
    const std::string word = "=?utf-8?q?Gr=C3=BC=C3=9Fe_=E2=82=AC?=";
    const Case cases[] = {
        // "€" is in Windows-1252, "№" is not; the encoded word is read in its own charset only, not again as UTF-8
        {"\r\nContent-Type: text/plain; charset=UTF-8", "K\xE4se \x80 ? Gr\xFC\xDF" "e \x80"},
        {"\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit", raw + "Gr\xFC\xDF" "e \x80"},
        {"\r\nContent-Type: text/plain; charset=iso-8859-1", raw + "Gr\xFC\xDF" "e \x80"},
        {"", raw + "Gr\xFC\xDF" "e \x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields);
        const std::string header = ReadableHeader(c.fields + "\r\nSubject: " + raw + word + "\r\n\r\n");
        EXPECT_EQ(GetHeaderField(header, "subject"), c.subject);
    }
    EXPECT_EQ(ReadableHeader("\r\nSubject: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\n\r\n"), "\r\nSubject: Gr\xFC\xDF" "e\r\n\r\n");
}

TEST(MailMessage, PartsAreViewsIntoTheTextItHolds) {
    const MailMessage message(
        " 300 octets\r\nSubject: parts\r\nContent-Type: multipart/mixed; boundary=\"xyz\"\r\n\r\n"
        "--xyz\r\nContent-Type: text/plain\r\n\r\nbody text\r\n"
        "--xyz\r\nContent-Disposition: attachment; filename=\"first.txt\"\r\n\r\n" +
        std::string(40, 'a') + "\r\n--xyz--\r\n");
    ASSERT_EQ(CountAttachments(message.Parts()), 1);
    const MessagePart& attachment = message.Parts()[*FindAttachment(message.Parts(), 1)];
    EXPECT_EQ(GetAttachmentName(attachment), "first.txt");
    EXPECT_EQ(attachment.body, std::string(40, 'a'));
    const std::string_view text = message.Text();
    EXPECT_TRUE(attachment.body.data() >= text.data() && attachment.body.data() < text.data() + text.size())
        << "the body is not copied out of the message";
}

}  // namespace
}  // namespace zendrel

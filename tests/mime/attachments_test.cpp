#include "mime/attachments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/multipart.h"

using namespace std::string_literals;

namespace zendrel {
namespace {

MessagePart Part(std::string header, std::string body = {}) {
    MessagePart part;
    part.header = "--b\r\n" + header;
    part.body = std::move(body);
    return part;
}

TEST(IsAttachment, NeedsTheSemicolon) {
    struct Case {
        std::string header;
        bool attachment;
    };
    const Case cases[] = {
        {"Content-Disposition: attachment; filename=\"a.pdf\"", true},
        {"Content-Disposition: ATTACHMENT; filename=a.pdf", true},
        {"Content-Disposition: attachment;", true},
        {"Content-Disposition: attachment", false},
        {"Content-Disposition: attachment ; filename=a.pdf", false},
        {"Content-Disposition: inline; filename=\"a.pdf\"", false},
        {"Content-Type: application/pdf; name=\"attachment;\"", false},
        {"Content-Disposition:\r\n attachment;\r\n filename=a.pdf", true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsAttachment(Part(c.header)), c.attachment) << c.header;
}

TEST(Numbering, AttachmentsAreCountedInListOrder) {
    std::string message = " x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nbody text\r\n";
    for (const char* name : {"first.txt", "second.txt", "third.txt"}) {
        message += "--b\r\nContent-Disposition: attachment; filename=\""s + name + "\"\r\n\r\ncontent\r\n";
    }
    message += "--b--\r\n";
    const auto parts = SplitMessage(message);
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(CountAttachments(parts), 3);
    EXPECT_EQ(CountBodyParts(parts), 2);

    // the one that comes last in the message is attachment 1
    const std::string expected[] = {"third.txt", "second.txt", "first.txt"};
    for (int n = 1; n <= 3; ++n) {
        const auto at = FindAttachment(parts, n);
        ASSERT_TRUE(at.has_value()) << n;
        EXPECT_EQ(GetAttachmentName(parts[*at]), expected[n - 1]);
    }
    EXPECT_FALSE(FindAttachment(parts, 0).has_value());
    EXPECT_FALSE(FindAttachment(parts, 4).has_value());
    EXPECT_FALSE(FindAttachment(parts, -1).has_value());

    // body parts: the container first, then the text part
    EXPECT_EQ(FindBodyPart(parts, 1), 0u);
    EXPECT_EQ(FindBodyPart(parts, 2), 4u);
    EXPECT_FALSE(FindBodyPart(parts, 3).has_value());
    EXPECT_FALSE(FindBodyPart(parts, 0).has_value());
}

TEST(GetAttachmentName, Table) {
    struct Case {
        std::string header, name;
    };
    const Case cases[] = {
        {"Content-Disposition: attachment; filename=\"Bericht 1/2.pdf\"", "Bericht 1_2.pdf"},
        {"Content-Disposition: attachment; FILENAME=\"C:\\\\tmp\\\\x.txt\"", "C__tmp_x.txt"},
        {"Content-Disposition: attachment; FILENAME=\"C:\\tmp\\x.txt\"", "C__tmp_x.txt"},
        {"Content-Disposition: attachment; filename=data.csv", "data.csv"},
        {"Content-Disposition: attachment; filename=\"a.csv\"; size=\"12\"", "a.csv"},
        {"Content-Disposition: attachment; size=\"12\"; filename=a.csv", "a.csv"},
        {"Content-Disposition: attachment; size=\"12\"", ""},     // never another parameter's value
        {"Content-Disposition: attachment;\r\n filename*=utf-8''Gr%C3%BC%C3%9Fe.pdf", "Gr\xFC\xDF" "e.pdf"},
        {"Content-Disposition: attachment;\r\n filename*0*=utf-8''Jahres; filename*1=\"bericht 2024.pdf\"",
         "Jahresbericht 2024.pdf"},
        {"Content-Disposition: attachment; filename*=iso-8859-1''M%E4rz.txt", "M\xE4rz.txt"},
        // the disposition names no file: the Content-Type name
        {"Content-Type: application/pdf; name=\"typ.pdf\"\r\nContent-Disposition: attachment;", "typ.pdf"},
        {"Content-Type: application/pdf; name=typ.pdf\r\nContent-Disposition: attachment; filename=\"\"", "typ.pdf"},
        {"Content-Type: application/pdf; name*=utf-8''%C3%A4.pdf\r\nContent-Disposition: attachment;", "\xE4.pdf"},
        {"Content-Type: application/pdf; name=\"typ.pdf\"\r\nContent-Disposition: attachment; filename=\"d.pdf\"",
         "d.pdf"},
        {"Content-Disposition: attachment; filename=\"../../etc/passwd\"", ".._.._etc_passwd"},
        {"Content-Disposition: attachment; filename=\"..\"", ""},
        {"Content-Disposition: attachment; filename=\"con.txt\"", "_con.txt"},
        {"Content-Disposition: attachment; filename=\"a?b*.txt\"", "a_b_.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetAttachmentName(Part(c.header)), c.name) << c.header;
}

TEST(MakeSafeFileName, Table) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a.pdf", "a.pdf"},
        {"a/b:c\\d", "a_b_c_d"},
        {"<>\"|?*", "______"},
        {"tab\there\x01\x1F", "tab_here__"},
        {"nul\0byte"s, "nul_byte"},
        {"\x7F\x80\xFC", "\x7F\x80\xFC"},    // bytes above the control range stay
        {"name. . ", "name"},                  // trailing dots and blanks go
        {" lead.txt", " lead.txt"},
        {".hidden", ".hidden"},
        {"...", ""},
        {". .", ""},
        {"", ""},
        {"../", ".._"},
        {"CON", "_CON"},
        {"con.txt", "_con.txt"},
        {"Prn.tar.gz", "_Prn.tar.gz"},
        {"aux", "_aux"},
        {"NuL.pdf", "_NuL.pdf"},
        {"COM1", "_COM1"},
        {"lpt9.log", "_lpt9.log"},
        {"COM0", "COM0"},
        {"COM10", "COM10"},
        {"LPT", "LPT"},
        {"console.txt", "console.txt"},
        {"xcon", "xcon"},
        {"con .txt", "_con .txt"},
        {"CON.", "_CON"},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeSafeFileName(c.in), c.out) << c.in;
}

TEST(GetBodyPartText, Table) {
    struct Case {
        std::string header, body, text;
    };
    const Case cases[] = {
        {"Content-Transfer-Encoding: base64", "QUJD\r\nRA==", "ABCD"},
        {"Content-Transfer-Encoding: BASE64", "AEEA", "\0A\0"s},
        {"Content-Transfer-Encoding: base64", "QUJDR", "QUJDR"},          // undecodable: the undecoded text
        {"Content-Transfer-Encoding: quoted-printable\r\nContent-Type: text/plain; charset=utf-8",
         "K=C3=B6ln=00", "K\xC3\xB6ln\0"s},                                // no charset conversion
        {"Content-Transfer-Encoding: 8bit", "K\xC3\xB6ln=3D", "K\xC3\xB6ln=3D"},
        {"Content-Type: text/plain", "as is", "as is"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetBodyPartText(Part(c.header, c.body)), c.text) << c.header;
}

}  // namespace
}  // namespace zendrel

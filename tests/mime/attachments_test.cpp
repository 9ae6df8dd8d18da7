#include "mime/attachments.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "mime/encoded_words.h"
#include "mime/multipart.h"

using namespace std::string_literals;

namespace zendrel {
namespace {

MessagePart Part(std::string header, std::string body = {}) {
    MessagePart part;
    part.rawHeader = "--b\r\n" + header;
    part.header = DecodeEncodedWords(part.rawHeader);
    part.OwnBody(std::move(body));
    return part;
}

std::string Repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
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

    // the index built once answers every number as the scans do
    const PartIndex index(parts);
    EXPECT_EQ(index.AttachmentCount(), 3);
    EXPECT_EQ(index.BodyPartCount(), 2);
    for (int n = -1; n <= 6; ++n) {
        EXPECT_EQ(index.Attachment(n), FindAttachment(parts, n)) << n;
        EXPECT_EQ(index.BodyPart(n), FindBodyPart(parts, n)) << n;
    }
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
        {"Content-Disposition: attachment;\r\n filename*=utf-8''Gr%C3%BC%C3%9Fe.pdf", "Gr\xC3\xBC\xC3\x9F" "e.pdf"},
        {"Content-Disposition: attachment;\r\n filename*0*=utf-8''Jahres; filename*1=\"bericht 2024.pdf\"",
         "Jahresbericht 2024.pdf"},
        {"Content-Disposition: attachment; filename*=iso-8859-1''M%E4rz.txt", "M\xC3\xA4rz.txt"},
        // the disposition names no file: the Content-Type name
        {"Content-Type: application/pdf; name=\"typ.pdf\"\r\nContent-Disposition: attachment;", "typ.pdf"},
        {"Content-Type: application/pdf; name=typ.pdf\r\nContent-Disposition: attachment; filename=\"\"", "typ.pdf"},
        {"Content-Type: application/pdf; name*=utf-8''%C3%A4.pdf\r\nContent-Disposition: attachment;", "\xC3\xA4.pdf"},
        {"Content-Type: application/pdf; name=\"typ.pdf\"\r\nContent-Disposition: attachment; filename=\"d.pdf\"",
         "d.pdf"},
        {"Content-Disposition: attachment; filename=\"../../etc/passwd\"", ".._.._etc_passwd"},
        {"Content-Disposition: attachment; filename=\"..\"", ""},
        {"Content-Disposition: attachment; filename=\"con.txt\"", "_con.txt"},
        {"Content-Disposition: attachment; filename=\"a?b*.txt\"", "a_b_.txt"},
        // decoded words that would make a path are made safe like any other name
        {"Content-Disposition: attachment; filename=\"=?utf-8?q?=2E=2E/=2E=2E/x.csv?=\"", ".._.._x.csv"},
        {"Content-Disposition: attachment; filename=\"=?utf-8?q?=00con.txt?=\"", "_con.txt"},
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
        {"\x7F\xC2\x80\xC3\xBC", "\x7F\xC2\x80\xC3\xBC"},   // characters above the control range stay
        {"\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf",
         "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf"},
        {"\xE5\xA0\xB1/\xE5\x91\x8A?.xlsx", "\xE5\xA0\xB1_\xE5\x91\x8A_.xlsx"},
        {"a\x80" "b\xFC.txt", "a_b_.txt"},      // bytes that are not UTF-8
        {"\xE2\x82", "__"},
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
        {"COM\xC2\xB9.txt", "_COM\xC2\xB9.txt"},   // COM¹ is a port too
        {"LPT\xC2\xB3", "_LPT\xC2\xB3"},
        {"COM\xC2\xB4", "COM\xC2\xB4"},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeSafeFileName(c.in), c.out) << c.in;
}

TEST(MakeSafeFileName, CutsALongNameAtACharacterKeepingItsExtension) {
    // 報 is three bytes of UTF-8 and one UTF-16 unit, 😀 four bytes and two units: the file systems count differently.
    const std::string report = "\xE5\xA0\xB1";
    const std::string smile = "\xF0\x9F\x98\x80";
    struct Case {
        std::string in, onLinux, onWindows;
    };
    const Case cases[] = {
        {Repeated("a", 300) + ".pdf", Repeated("a", 251) + ".pdf", Repeated("a", 251) + ".pdf"},
        {Repeated("a", 251) + ".pdf", Repeated("a", 251) + ".pdf", Repeated("a", 251) + ".pdf"},
        {Repeated(report, 100) + ".pdf", Repeated(report, 83) + ".pdf", Repeated(report, 100) + ".pdf"},
        {Repeated(report, 300), Repeated(report, 85), Repeated(report, 255)},
        {Repeated(smile, 130) + ".pdf", Repeated(smile, 62) + ".pdf", Repeated(smile, 125) + ".pdf"},
        // an "extension" that leaves no room is cut like the rest; a cut never leaves a blank or dot at the end
        {"a." + Repeated("b", 300), "a." + Repeated("b", 253), "a." + Repeated("b", 253)},
        {Repeated("a", 254) + " bbb", Repeated("a", 254), Repeated("a", 254)},
    };
    for (const Case& c : cases) {
#ifdef _WIN32
        EXPECT_EQ(MakeSafeFileName(c.in), c.onWindows) << c.in;
#else
        EXPECT_EQ(MakeSafeFileName(c.in), c.onLinux) << c.in;
#endif
    }
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

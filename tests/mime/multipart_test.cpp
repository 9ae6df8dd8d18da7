#include "mime/multipart.h"

#include <gtest/gtest.h>

#include <string>

#include "mime/attachments.h"
#include "mime/header_field.h"

using namespace std::string_literals;

namespace zendrel {
namespace {

// The mixed/alternative/PDF message: a multipart/alternative (text/plain, then text/html) followed by a PDF.
const std::string kNestedMessage =
    " 2048 octets\r\n"
    "From: a@example.org\r\n"
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
    "\r\n"
    "This is a multi-part message in MIME format.\r\n"
    "--outer\r\n"
    "Content-Type: multipart/alternative; boundary=inner\r\n"
    "\r\n"
    "--inner\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "\r\n"
    "plain\r\n"
    "--inner\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "\r\n"
    "<p>html</p>\r\n"
    "--inner--\r\n"
    "\r\n"
    "--outer\r\n"
    "Content-Type: application/pdf; name=\"a.pdf\"\r\n"
    "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0=\r\n"
    "--outer--\r\n"
    "epilogue\r\n";

std::string ContentType(const MessagePart& part) { return GetHeaderField(part.header, "content-type"); }

TEST(SplitMessage, SinglePartMessage) {
    const auto parts = SplitMessage(" 10 octets\r\nSubject: x\r\nContent-Type: text/plain\r\n\r\nHello\r\n");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].index, 0);
    EXPECT_EQ(parts[0].boundary, "");
    EXPECT_EQ(parts[0].header, " 10 octets\r\nSubject: x\r\nContent-Type: text/plain");
    EXPECT_EQ(parts[0].body, "Hello\r\n");
}

TEST(SplitMessage, TextWithoutBlankLineGivesNothing) {
    EXPECT_TRUE(SplitMessage(" 1\r\nSubject: x\r\n").empty());
    EXPECT_TRUE(SplitMessage("").empty());
}

TEST(SplitMessage, NestedMultipartInListOrder) {
    const auto parts = SplitMessage(kNestedMessage);
    ASSERT_EQ(parts.size(), 5u);
    // container first, then its parts in reverse order of appearance, each nested list the same way
    EXPECT_EQ(ContentType(parts[0]), "multipart/mixed; boundary=\"outer\"");
    EXPECT_EQ(ContentType(parts[1]), "application/pdf; name=\"a.pdf\"");
    EXPECT_EQ(ContentType(parts[2]), "multipart/alternative; boundary=inner");
    EXPECT_EQ(ContentType(parts[3]), "text/html; charset=utf-8");
    EXPECT_EQ(ContentType(parts[4]), "text/plain; charset=utf-8");
    // index is the order of adding: children before their container
    const int expectedIndex[] = {4, 3, 2, 1, 0};
    for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(parts[i].index, expectedIndex[i]) << i;

    EXPECT_EQ(parts[0].boundary, "");
    EXPECT_EQ(parts[1].boundary, "outer");
    EXPECT_EQ(parts[2].boundary, "");  // a container has none, nested or not
    EXPECT_EQ(parts[3].boundary, "inner");
    EXPECT_EQ(parts[4].boundary, "inner");

    // a part's header begins with its delimiter line; the CR LF before the next delimiter is not in the body
    EXPECT_EQ(parts[4].header, "--inner\r\nContent-Type: text/plain; charset=utf-8");
    EXPECT_EQ(parts[4].body, "plain");
    EXPECT_EQ(parts[3].body, "<p>html</p>");
    EXPECT_EQ(parts[1].body, "JVBERi0=");
    // nothing stands before the inner first delimiter or after its closing one
    EXPECT_EQ(parts[2].body, "");
    EXPECT_EQ(parts[0].body, "This is a multi-part message in MIME format.\r\nepilogue\r\n");

    EXPECT_EQ(CountAttachments(parts), 1);
    EXPECT_EQ(CountBodyParts(parts), 4);
}

TEST(SplitMessage, EveryPartLosesTheLineBreakBeforeTheNextDelimiter) {
    const std::string message =
        " x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\n\r\nfirst\r\n\r\n"      // a body that ends in an empty line keeps it
        "--b\r\n\r\nsecond\r\n"
        "--b\r\n\r\nthird\r\n--b--\r\n";
    const auto parts = SplitMessage(message);
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1].body, "third");
    EXPECT_EQ(parts[2].body, "second");
    EXPECT_EQ(parts[3].body, "first\r\n");
    EXPECT_EQ(parts[3].header, "--b");  // a part without header lines
}

TEST(SplitMessage, PartEndingRightAfterItsBlankLineIsKept) {
    const std::string message =
        " x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n"
        "--b--\r\n";
    const auto parts = SplitMessage(message);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(ContentType(parts[1]), "text/html");
    EXPECT_EQ(parts[1].body, "");
    EXPECT_EQ(ContentType(parts[2]), "text/plain");
    EXPECT_EQ(parts[2].body, "");
}

TEST(SplitMessage, BlankBodiesAreStoredEmpty) {
    struct Case {
        std::string body, stored;
    };
    const Case cases[] = {
        {"\r\n  \r\n", ""},
        {"   ", ""},
        {"\r\n\r\n", ""},
        {" \n ", " \n "},   // a lone LF is content
        {"\r \n", "\r \n"},
        {" x ", " x "},
    };
    for (const auto& c : cases) {
        const std::string message = " 1\r\nSubject: s\r\n\r\n" + c.body;
        const auto parts = SplitMessage(message);
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0].body, c.stored) << c.body;
    }
}

TEST(SplitMessage, BoundaryParameterForms) {
    struct Case {
        std::string contentType;
        std::size_t records;
    };
    const Case cases[] = {
        {"multipart/mixed; boundary=\"b\"", 3},
        {"multipart/mixed; boundary=b", 3},
        {"multipart/mixed; boundary=b;", 3},
        {"multipart/mixed; BOUNDARY=\"b\"", 3},
        {"multipart/related; boundary=\"b\"; type=\"text/html\"", 3},
        {"multipart/related; type=\"text/html\"; boundary=b", 3},
        {"multipart/mixed;\r\n\tboundary=\"b\"", 3},
        {"Multipart/Mixed; boundary=\"b\"", 3},
        {"text/plain; name=\"boundary.txt\"", 1},      // the word alone does not make a multipart
        {"text/plain; boundary=\"b\"", 1},             // neither does the parameter on another type
        {"multipart/mixed; xboundary=\"b\"", 1},
        {"multipart/mixed", 1},
        {"multipart/mixed; boundary=\"\"", 1},
    };
    for (const auto& c : cases) {
        const std::string message = " 1\r\nContent-Type: " + c.contentType +
                                    "\r\n\r\n--b\r\n\r\none\r\n--b\r\n\r\ntwo\r\n--b--\r\n";
        EXPECT_EQ(SplitMessage(message).size(), c.records) << c.contentType;
    }
}

TEST(SplitMessage, MissingClosingDelimiterKeepsTheLastPart) {
    const std::string message =
        " x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\npreamble\r\n"
        "--b\r\n\r\nfirst\r\n"
        "--b\r\nContent-Disposition: attachment; filename=\"cut.txt\"\r\n\r\ntruncated te";
    const auto parts = SplitMessage(message);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].body, "truncated te");
    EXPECT_EQ(GetAttachmentName(parts[1]), "cut.txt");
    EXPECT_EQ(parts[2].body, "first");
    EXPECT_EQ(parts[0].body, "preamble\r\n");
}

TEST(SplitMessage, MultipartWithoutPartDelimiterGivesOnlyTheContainer) {
    const auto parts =
        SplitMessage(" x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\nno parts here\r\n--b--\r\nafter\r\n");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].boundary, "");
    EXPECT_EQ(parts[0].body, "no parts hereafter\r\n");
}

TEST(SplitMessage, DelimitersInTheEpilogueStartNoPart) {
    const auto parts = SplitMessage(
        " x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\none\r\n--b--\r\n--b\r\n\r\nstray\r\n");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].body, "one");
}

TEST(SplitMessage, HeadersHaveTheirEncodedWordsDecoded) {
    const auto parts = SplitMessage(
        " x\r\nContent-Type: multipart/mixed; boundary=b\r\nSubject: =?iso-8859-1?q?M=E4rz?=\r\n\r\n"
        "--b\r\nContent-Disposition: attachment; filename=\"=?utf-8?q?Gr=C3=BC=C3=9Fe.pdf?=\"\r\n\r\nx\r\n--b--");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(GetHeaderField(parts[0].header, "subject"), "M\xE4rz");
    EXPECT_EQ(GetAttachmentName(parts[1]), "Gr\xC3\xBC\xC3\x9F" "e.pdf");
}

TEST(SplitMessage, NulBytesStayInBodies) {
    const std::string message = " x\r\nSubject: s\r\n\r\na\0b\r\n"s;
    const auto parts = SplitMessage(message);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].body, "a\0b\r\n"s);
}

TEST(SplitMessage, DeepNestingDoesNotExhaustTheStack) {
    std::string message = " x\r\n";
    const int depth = 5000;
    for (int i = 0; i < depth; ++i) {
        message += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" + std::to_string(i) +
                   "\r\n";
    }
    message += "\r\ninnermost\r\n";
    const auto parts = SplitMessage(message);
    EXPECT_FALSE(parts.empty());
    EXPECT_LT(parts.size(), static_cast<std::size_t>(depth));
}

}  // namespace
}  // namespace zendrel

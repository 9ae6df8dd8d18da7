#include "mime/body_charset.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

TEST(ConvertBodyCharset, Table) {
    const std::string utf8Text = "<p>K\xC3\xB6ln</p>";
    const std::string singleText = "<p>K\xF6ln</p>";
    const std::string metaHead = "<html><head><meta charset=\"utf-8\"></head><body>K\xF6ln</body></html>";
    const std::string metaHeadUtf8 = "<html><head><meta charset=\"utf-8\"></head><body>K\xC3\xB6ln</body></html>";
    struct Case {
        std::string contentType, text, result;
    };
    const Case cases[] = {
        {"text/plain; charset=utf-8", utf8Text, utf8Text},            // only HTML is adjusted
        {"text/html; charset=utf-8", utf8Text, singleText},          // header says UTF-8, no meta tag
        {"TEXT/HTML; CHARSET=UTF-8", utf8Text, singleText},
        {"text/html", metaHead, metaHeadUtf8},                       // meta tag says UTF-8, header does not
        {"text/html; charset=utf-8", metaHeadUtf8, metaHeadUtf8},    // both agree
        {"text/html; charset=iso-8859-1", singleText, singleText},   // neither
        // the second meta tag declares it; "</head>" lets the scan go past the first one
        {"text/html",
         "<head><meta name=\"x\" content=\"y\"><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=UTF-8\"></head>\xF6",
         "<head><meta name=\"x\" content=\"y\"><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=UTF-8\"></head>\xC3\xB6"},
        // without "</head>" only the first tag is tested
        {"text/html", "<meta name=\"x\"><meta charset=\"utf-8\">\xF6", "<meta name=\"x\"><meta charset=\"utf-8\">\xF6"},
        // a tag after the head is still tested, but it ends the scan
        {"text/html", "<head></head><meta charset=\"utf-8\">\xF6", "<head></head><meta charset=\"utf-8\">\xC3\xB6"},
        {"text/html", "<head></head><meta name=\"x\"><meta charset=\"utf-8\">\xF6",
         "<head></head><meta name=\"x\"><meta charset=\"utf-8\">\xF6"},
        // "charset" and "utf-8" must both stand inside the tag
        {"text/html", "<head><meta charset=\"x\"></head>utf-8 \xF6", "<head><meta charset=\"x\"></head>utf-8 \xF6"},
        {"text/html", "<head><meta x>charset utf-8</head>\xF6", "<head><meta x>charset utf-8</head>\xF6"},
    };
    for (const auto& c : cases) {
        const std::string header = "x\r\nContent-Type: " + c.contentType + "\r\nX: y";
        EXPECT_EQ(ConvertBodyCharset(header, c.text), c.result) << c.contentType << " / " << c.text;
    }
}

}  // namespace
}  // namespace zendrel

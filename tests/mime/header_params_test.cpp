#include "mime/header_params.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zendrel {
namespace {

TEST(GetHeaderParameter, Table) {
    struct Case {
        std::string value, name;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {"attachment; filename=\"a b.pdf\"", "filename", "a b.pdf"},
        {"attachment; filename=data.csv", "filename", "data.csv"},          // token
        {"attachment; FILENAME=data.csv", "filename", "data.csv"},          // any letter case
        {"attachment; filename = data.csv ;size=3", "filename", "data.csv"},
        {"attachment;\r\n filename=\"data.csv\"", "filename", "data.csv"},  // folded
        {"attachment; filename=\"a;b.pdf\"; size=1", "filename", "a;b.pdf"},  // ";" inside quotes
        {"attachment; filename=\"a\\\"b\\\\c\"", "filename", "a\"b\\c"},    // backslash escapes
        {"attachment; filename=\"C:\\tmp\\x.txt\"", "filename", "C:\\tmp\\x.txt"},  // a lone backslash stays
        {"attachment; filename=\"long\r\n name.pdf\"", "filename", "long name.pdf"},  // folding inside quotes
        {"attachment; filename=\"open", "filename", "open"},                // unterminated quote
        {"attachment; size=3", "filename", std::nullopt},
        {"attachment; xfilename=\"a\"", "filename", std::nullopt},          // another parameter's name
        {"attachment; name=\"filename=x.txt\"", "filename", std::nullopt},  // another parameter's value
        {"attachment; size=1; filename=\"\"", "filename", ""},
        {"multipart/mixed; boundary=\"xyz\"; type=\"text/html\"", "boundary", "xyz"},
        {"multipart/mixed; boundary=xyz;", "boundary", "xyz"},
        {"multipart/mixed;\r\n\tboundary=\"----=_Part_1\"", "boundary", "----=_Part_1"},
        {"text/plain; name=\"boundary.txt\"", "boundary", std::nullopt},
        // RFC 2231
        {"attachment; filename*=utf-8''Gr%C3%BC%C3%9Fe.pdf", "filename", "Gr\xFC\xDF" "e.pdf"},
        {"attachment; filename*=UTF-8'de'%E2%82%AC%E2%84%96.txt", "filename", "\x80?.txt"},  // € kept, № not
        {"attachment; filename*=iso-8859-2''%A3%F3d%BC.txt", "filename", "?\xF3" "d?.txt"},
        {"attachment; filename*=iso-8859-1'de'Gr%FC%DFe.pdf", "filename", "Gr\xFC\xDF" "e.pdf"},
        {"attachment; filename*=\"utf-8''a%20b.txt\"", "filename", "a b.txt"},
        {"attachment; filename*=utf-8''100%.txt", "filename", "100%.txt"},   // "%" without two digits stays
        {"attachment; filename=\"plain.pdf\"; filename*=utf-8''ext%C3%A4.pdf", "filename", "ext\xE4.pdf"},
        {"attachment; filename*0*=utf-8''Gr%C3%BC; filename*1=\"ne Liste\"; filename*2*=%2Etxt", "filename",
         "Gr\xFCne Liste.txt"},
        {"attachment; filename*1=\"b.txt\"; filename*0=\"a\"", "filename", "ab.txt"},  // pieces in any order
        {"attachment; filename*0*=utf-8''%C3; filename*1*=%A4.txt", "filename", "\xE4.txt"},  // split sequence
        {"attachment; filename*0=\"a\"; filename*2=\"c\"", "filename", "a"},  // stops at the first gap
        {"attachment; filename*1=\"b\"; filename=\"x.txt\"", "filename", "x.txt"},  // no piece 0
    };
    for (const auto& c : cases) EXPECT_EQ(GetHeaderParameter(c.value, c.name), c.result) << c.value;
}

TEST(GetHeaderParameterUtf8, ReadsTheValueInItsCharset) {
    struct Case {
        std::string value;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {"attachment; filename*=utf-8''%D0%A1%D1%87%D1%91%D1%82%20%E2%84%96" "5.pdf",
         "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf"},                                   // Счёт №5.pdf
        {"attachment;\r\n filename*0*=iso-8859-2''%A3%F3d%BC%20fak;\r\n filename*1*=tura.pdf",
         "\xC5\x81\xC3\xB3" "d\xC5\xBA faktura.pdf"},                                                // Łódź faktura.pdf
        {"attachment; filename*0*=koi8-r''%EF%D4; filename*1*=%DE%A3%D4; filename*2=\".txt\"",
         "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt"},                                            // Отчёт.txt
        {"attachment; filename*=''%E4.txt", "\xC3\xA4.txt"},                 // no charset: Windows-1252
        {"attachment; filename=\"=?utf-8?B?5aCx5ZGK?=.xlsx\"", "\xE5\xA0\xB1\xE5\x91\x8A.xlsx"},  // encoded words
        {"attachment; filename=\"=?utf-8?Q?a=22b?=.txt\"", "a\"b.txt"},   // decoded after the quotes are read
        {"attachment; filename=\"Gr\xFC\xDF" "e.pdf\"", "Gr\xC3\xBC\xC3\x9F" "e.pdf"},  // raw Latin-1 bytes
        {"attachment; filename=\"Gr\xC3\xBC\xC3\x9F" "e.pdf\"", "Gr\xC3\xBC\xC3\x9F" "e.pdf"},  // raw UTF-8 bytes
        {"attachment; size=3", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(GetHeaderParameterUtf8(c.value, "filename"), c.result) << c.value;
}

}  // namespace
}  // namespace zendrel

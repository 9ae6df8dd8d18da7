#include "mime/encoded_words.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

TEST(DecodeEncodedWords, Table) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"=?utf-8?B?w6Q=?=", "\xE4"},
        {"=?ISO-8859-1?Q?Gr=FC=DFe_aus?=", "Gr\xFC\xDF" "e aus"},
        {"=?UTF-8?q?K=C3=B6ln?=", "K\xF6ln"},                          // charset name in any case
        {"=?utf8?q?K=C3=B6ln?=", "K\xC3\xB6ln"},                        // other spellings keep their raw bytes
        {"=?utf-8*de?q?K=C3=B6ln?=", "K\xC3\xB6ln"},                    // so does a language suffix
        {"=?utf-8?q?=E2=82=AC?=", "?"},                                 // beyond U+00FF
        {"=?iso-8859-1?q?a?= =?iso-8859-1?q?b?=", "ab"},                // white space between words goes
        {"=?iso-8859-1?q?a?=\r\n\t=?iso-8859-1?q?b?=", "ab"},           // also a folded line
        {"=?iso-8859-1?q?a?==?iso-8859-1?q?b?=", "ab"},                 // touching words
        {"=?iso-8859-1?q?a?= und =?iso-8859-1?q?b?=", "a und b"},       // other text between words stays whole
        {"=?iso-8859-1?q?a?=x=?iso-8859-1?q?b?=", "axb"},
        {"Re: =?iso-8859-1?q?a?= !", "Re: a !"},                        // text around words stays
        {"x =?utf-8?x?abc?= y", "x  y"},                                // unknown encoding: the word goes
        {"Was ist 2+2=?", "Was ist 2+2=?"},
        {"a =?utf-8?q?x y", "a =?utf-8?q?x y"},                         // no closing "?="
        {"a =?utf-8 b", "a =?utf-8 b"},
        {"=?utf-8?q?=3D?=", "="},                                       // encoded text may begin with "="
        {"=?utf-8?q?a?= =?utf-8?q?b x", "a =?utf-8?q?b x"},             // a broken word after a good one
        {"=?iso-8859-1?b?QUJD?=", "ABC"},
        {"=?iso-8859-1?b?QUJDR?=", ""},                                 // base64 that does not decode adds nothing
        {"=?iso-8859-1?b?AEEA?=", "\0A\0"s},                            // NUL bytes are kept
        {"=?iso-8859-1?q?a=00b?=", "a\0b"s},
        {"=?iso-8859-1?Q?a_b?= =?iso-8859-1?Q?_c?=", "a b c"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeEncodedWords(c.in), c.out) << c.in;
}

TEST(DecodeEncodedWords, HeaderBlock) {
    const std::string header =
        "--xyz\r\nContent-Type: application/pdf;\r\n name=\"=?utf-8?B?R3LDvMOfZS5wZGY=?=\"\r\n"
        "Subject: =?iso-8859-1?q?Bericht?= =?iso-8859-1?q?_M=E4rz?=";
    EXPECT_EQ(DecodeEncodedWords(header),
              "--xyz\r\nContent-Type: application/pdf;\r\n name=\"Gr\xFC\xDF" "e.pdf\"\r\n"
              "Subject: Bericht M\xE4rz");
}

}  // namespace
}  // namespace zendrel

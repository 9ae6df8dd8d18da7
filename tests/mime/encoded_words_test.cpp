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
        {"=?utf8?q?K=C3=B6ln?=", "K\xF6ln"},                            // another spelling of the name
        {"=?utf-8*de?q?K=C3=B6ln?=", "K\xF6ln"},                        // an RFC 2231 language is no part of it
        {"=?utf-8?q?=E2=82=AC?=", "\x80"},                              // the euro sign keeps its Windows-1252 byte
        {"=?utf-8?q?=E2=84=96?=", "?"},                                 // "№" is beyond Windows-1252
        {"=?utf-8?q?=E2=82?= =?utf-8?q?=AC?=", "\x80"},                 // a character split between two words
        {"=?iso-8859-1?q?=E4=80?=", "\xE4\x80"},                        // Latin-1 is read as Windows-1252
        {"=?iso-8859-1?q?=E4?= =?utf-8?q?=C3=A4?=", "\xE4\xE4"},        // each word in its own charset
        {"=?ISO-8859-2?Q?=A3=F3d=BC?=", "?\xF3" "d?"},                  // Łódź: "ó" is in Windows-1252
        {"=?koi8-r?b?79Teo9QudHh0?=", "?????.txt"},                     // Отчёт.txt
        {"=?x-unknown?q?=A3=F3?=", "\xA3\xF3"},                         // an unknown charset gives its raw bytes
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

TEST(DecodeEncodedWordsToUtf8, KeepsEveryCharacter) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"=?utf-8?B?0KHRh9GR0YIg4oSWNS5wZGY=?=", "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf"},  // Счёт №5
        {"=?iso-8859-2?Q?=A3=F3d=BC_faktura.pdf?=", "\xC5\x81\xC3\xB3" "d\xC5\xBA faktura.pdf"},     // Łódź faktura
        {"=?koi8-r?b?79Teo9QudHh0?=", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt"},               // Отчёт.txt
        {"=?utf-8?q?=E5=A0?= =?utf-8?q?=B1=E5=91=8A.xlsx?=", "\xE5\xA0\xB1\xE5\x91\x8A.xlsx"},      // 報告, split
        {"=?iso-8859-1?q?=80?=", "\xE2\x82\xAC"},
        {"=?x-unknown?q?Gr=FC=DFe?=", "Gr\xC3\xBC\xC3\x9F" "e"},     // unknown: read as Windows-1252
        {"=?utf-8?q?Gr=FC=DFe?=", "Gr\xC3\xBC\xC3\x9F" "e"},         // not UTF-8 after all: the same
        // text around the words: UTF-8 when it is, Windows-1252 otherwise
        {"Gr\xC3\xBC\xC3\x9F" "e =?iso-8859-1?q?=80?=", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
        {"Gr\xFC\xDF" "e =?iso-8859-1?q?=80?=", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
        {"x =?utf-8?x?abc?= y", "x  y"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeEncodedWordsToUtf8(c.in), c.out) << c.in;
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

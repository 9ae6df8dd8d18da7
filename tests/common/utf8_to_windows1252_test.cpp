#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/text.h"

namespace zendrel {
namespace {

TEST(Utf8ToWindows1252, ConvertsWhatWindows1252CanHold) {
    struct Case {
        std::string utf8;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"", std::string()},
        {"plain/path", std::string("plain/path")},
        {"Gr\xC3\xBC\xC3\x9F" "e", std::string("Gr\xFC\xDF" "e")},          // Grüße
        {"\xE2\x82\xAC", std::string("\x80")},                              // euro sign
        {"\xC5\xA0\xC5\xBE\xE2\x80\x9E", std::string("\x8A\x9E\x84")},        // Š ž „
        {"\xC2\xA0\xC3\xBF", std::string("\xA0\xFF")},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\xE6\x97\xA5", std::nullopt},        // a CJK character has no Windows-1252 byte
        {"\xF0\x9F\x98\x80", std::nullopt},    // nor has an emoji
        {"\xC3", std::nullopt},                // cut sequence
        {"\xC3\x28", std::nullopt},            // bad continuation
        {"\xC0\xAF", std::nullopt},            // overlong "/"
        {"\xE0\x80\xAF", std::nullopt},        // overlong "/"
        {"\xFC", std::nullopt},                // Latin-1 byte, not UTF-8
        {"\xC2\x80", std::nullopt},            // U+0080 is no Windows-1252 character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.text) << "utf-8: '" << c.utf8 << "'";
    }
}

TEST(Utf8ToWindows1252, UndoesWindows1252ToUtf8ForEveryByte) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(text)), text) << "byte " << byte;
    }
}

TEST(Utf8ToWindows1252Lossy, KeepsWhatWindows1252HasAndMarksTheRest) {
    struct Case {
        std::string utf8, text;
    };
    const Case cases[] = {
        {"Rechnung 100\xE2\x82\xAC.pdf", "Rechnung 100\x80.pdf"},  // the euro sign keeps its byte
        // „ “ ” – — … ‚ ‘ ’ • ™ and Š š Ž ž Œ œ Ÿ ƒ ˆ ˜ † ‡ ‰ ‹ ›
        {"\xE2\x80\x9E\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x93\xE2\x80\x94\xE2\x80\xA6\xE2\x80\x9A\xE2\x80\x98"
         "\xE2\x80\x99\xE2\x80\xA2\xE2\x84\xA2",
         "\x84\x93\x94\x96\x97\x85\x82\x91\x92\x95\x99"},
        {"\xC5\xA0\xC5\xA1\xC5\xBD\xC5\xBE\xC5\x92\xC5\x93\xC5\xB8\xC6\x92\xCB\x86\xCB\x9C\xE2\x80\xA0\xE2\x80\xA1"
         "\xE2\x80\xB0\xE2\x80\xB9\xE2\x80\xBA",
         "\x8A\x9A\x8E\x9E\x8C\x9C\x9F\x83\x88\x98\x86\x87\x89\x8B\x9B"},
        {"\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5.pdf", "???? ?5.pdf"},   // Счёт №5.pdf
        {"\xC5\x81\xC3\xB3\x64\xC5\xBA", "?\xF3" "d?"},                           // Łódź
        {"\xE5\xA0\xB1\xE5\x91\x8A.xlsx", "??.xlsx"},                                // 報告.xlsx
        {"\xF0\x9F\x98\x80x", "?x"},
        {"\xC2\x80\xC2\x81", "\x80\x81"},         // below U+0100 every code point is its byte, as in Utf8ToSingleByte
        {"\xE0\x82\xAC", "?"},                       // an overlong form is no euro sign
        {"\xC3" "A", "?A"},                            // malformed bytes are read as Utf8ToSingleByte reads them
        {"\xE2\x82" "x", "?x"},
        {"\x80" "a\xFF", "a"},
        {"a\xE2\x82", "a"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1252Lossy(c.utf8), c.text) << "utf-8: '" << c.utf8 << "'";
}

TEST(Windows1252ToUtf16, GivesEveryByteItsCharacterAndTypedTextComesBack) {
    EXPECT_EQ(Windows1252ToUtf16("Gr\xFC\xDF" "e \x80\x84\x8A\x81"), u"Gr\u00FC\u00DFe \u20AC\u201E\u0160\u0081");
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        EXPECT_EQ(Utf16ToWindows1252Lossy(Windows1252ToUtf16(text)), text) << "byte " << byte;
    }
}

TEST(Utf16ToWindows1252Lossy, MarksEachCharacterWindows1252LacksWithOneQuestionMark) {
    struct Case {
        std::u16string typed;
        std::string text;
    };
    const Case cases[] = {
        {u"\u0421\u0447\u0451\u0442 \u2116" u"5", "???? ?5"},  // Счёт №5
        {u"\u0141\u00F3d\u017A", "?\xF3" "d?"},                // Łódź
        {u"\U0001F600x", "?x"},                                // a pair of surrogates is one character
        {std::u16string{u'a', char16_t(0xD83D), u'b', char16_t(0xDE00)}, "a?b?"},  // lone halves
        {u"\u0080", "?"},                                         // the euro's byte is not the euro's code point
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf16ToWindows1252Lossy(c.typed), c.text) << c.text;
}

TEST(IsWellFormedUtf8, RefusesWhatNoEncoderWrites) {
    for (const std::string good : {"", "plain", "\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsWellFormedUtf8(good)) << good;
    }
    for (const std::string bad : {"\xC3", "\xC3\x28", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "\xFC", "\x80", "ok\xF8"}) {
        EXPECT_FALSE(IsWellFormedUtf8(bad)) << bad;
    }
}

}  // namespace
}  // namespace zendrel

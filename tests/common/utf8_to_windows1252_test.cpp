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

}  // namespace
}  // namespace zendrel

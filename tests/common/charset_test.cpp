#include "common/charset.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zendrel {
namespace {

// Code pages that the system lacks, so that their names fall back to the byte-for-byte reading: Windows has none for
// ISO-8859-10, -14 and -16; Wine also lacks ISO-2022-JP (50220) and GB18030 (54936), which Windows has.
bool SystemLacks(std::string_view charset) {
#ifdef _WIN32
    for (std::string_view lacking : {"iso-8859-10", "iso-8859-14", "iso-8859-16"}) {
        if (charset == lacking) return true;
    }
#else
    static_cast<void>(charset);
#endif
    return false;
}

bool WineLacks(std::string_view charset) {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return wine && (charset == "iso-2022-jp" || charset == "gb18030");
#else
    static_cast<void>(charset);
    return false;
#endif
}

TEST(CharsetToUtf8, ReadsEveryCharsetMailDeclares) {
    struct Case {
        std::string charset, bytes, utf8;
    };
    const Case cases[] = {
        {"utf-8", "K\xC3\xB6ln \xE2\x82\xAC", "K\xC3\xB6ln \xE2\x82\xAC"},
        // Windows-1252 under its own name and the names mailers put on it
        {"windows-1252", "\x80\xE4", "\xE2\x82\xAC\xC3\xA4"},
        {"iso-8859-1", "\x80\xE4", "\xE2\x82\xAC\xC3\xA4"},
        {"us-ascii", "a\x81", "a\xC2\x81"},
        {"iso-8859-2", "\xA3\xF3" "d\xBC", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},  // Łódź
        {"iso-8859-3", "\xA1", "\xC4\xA6"},
        {"iso-8859-4", "\xA1", "\xC4\x84"},
        {"iso-8859-5", "\xB0\xDF\xE0\xD5\xDB\xEC", "\xD0\x90\xD0\xBF\xD1\x80\xD0\xB5\xD0\xBB\xD1\x8C"},
        {"iso-8859-6", "\xC7", "\xD8\xA7"},
        {"iso-8859-7", "\xE1\xE2\xE3", "\xCE\xB1\xCE\xB2\xCE\xB3"},
        {"iso-8859-8", "\xE0\xE1", "\xD7\x90\xD7\x91"},
        {"iso-8859-9", "\xF0\xFE", "\xC4\x9F\xC5\x9F"},
        {"iso-8859-10", "\xA1", "\xC4\x84"},
        {"iso-8859-11", "\xA1", "\xE0\xB8\x81"},
        {"iso-8859-13", "\xA1\xE0", "\xE2\x80\x9D\xC4\x85"},
        {"iso-8859-14", "\xA1", "\xE1\xB8\x82"},
        {"iso-8859-15", "\xA4\xA6", "\xE2\x82\xAC\xC5\xA0"},
        {"iso-8859-16", "\xAA", "\xC8\x98"},
        {"windows-1250", "\xA3\xF3" "d\x9F \x8A", "\xC5\x81\xC3\xB3" "d\xC5\xBA \xC5\xA0"},
        {"windows-1251", "\xD1\xF7\xB8\xF2 \xB9" "5", "\xD0\xA1\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96" "5"},  // Счёт №5
        {"windows-1253", "\xE1\xE2\xE3", "\xCE\xB1\xCE\xB2\xCE\xB3"},
        {"windows-1254", "\xF0\xFE", "\xC4\x9F\xC5\x9F"},
        {"windows-1255", "\xE0\xE1", "\xD7\x90\xD7\x91"},
        {"windows-1256", "\xC7", "\xD8\xA7"},
        {"windows-1257", "\xE0", "\xC4\x85"},
        {"windows-1258", "\xC3", "\xC4\x82"},
        {"windows-874", "\xA1", "\xE0\xB8\x81"},
        {"koi8-r", "\xEF\xD4\xDE\xA3\xD4", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82"},  // Отчёт
        {"koi8-u", "\xB4\xA7", "\xD0\x84\xD1\x97"},
        {"gbk", "\xB1\xA8\xB8\xE6", "\xE6\x8A\xA5\xE5\x91\x8A"},  // 报告
        {"gb2312", "\xB1\xA8\xB8\xE6", "\xE6\x8A\xA5\xE5\x91\x8A"},
        {"gb18030", "\xB1\xA8\xB8\xE6\x94" "9\xFC" "6", "\xE6\x8A\xA5\xE5\x91\x8A\xF0\x9F\x98\x80"},
        {"big5", "\xB3\xF8\xA7i", "\xE5\xA0\xB1\xE5\x91\x8A"},  // 報告
        {"shift_jis", "\x95\xF1\x8D\x90", "\xE5\xA0\xB1\xE5\x91\x8A"},
        {"euc-jp", "\xCA\xF3\xB9\xF0", "\xE5\xA0\xB1\xE5\x91\x8A"},
        {"iso-2022-jp", "\x1B$BJs9p\x1B(B.xlsx", "\xE5\xA0\xB1\xE5\x91\x8A.xlsx"},
        {"euc-kr", "\xBA\xB8\xB0\xED\xBC\xAD", "\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C"},  // 보고서
    };
    for (const Case& c : cases) {
        if (WineLacks(c.charset)) continue;  // Wine has no such code page: that case says nothing about the program
        const std::optional<std::string> utf8 = CharsetToUtf8(c.charset, c.bytes);
        if (SystemLacks(c.charset)) {
            EXPECT_EQ(utf8, std::nullopt) << c.charset;
        } else {
            EXPECT_EQ(utf8, c.utf8) << c.charset;
        }
    }
}

TEST(CharsetToUtf8, KnowsTheSpellingsMailersUse) {
    const std::string koi8 = "\xEF\xD4\xDE\xA3\xD4";
    const std::string utf8 = "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82";
    for (const std::string name : {"KOI8-R", "koi8-r*ru", " koi8-r "}) {
        EXPECT_EQ(CharsetToUtf8(name, koi8), utf8) << name;
    }
    const std::string latin2 = "\xA3\xF3" "d\xBC";
    for (const std::string name : {"ISO_8859-2", "iso8859-2", "Latin2"}) {
        EXPECT_EQ(CharsetToUtf8(name, latin2), "\xC5\x81\xC3\xB3" "d\xC5\xBA") << name;
    }
    for (const std::string name : {"x-sjis", "Shift-JIS", "windows-31j", "CP932"}) {
        EXPECT_EQ(CharsetToUtf8(name, "\x95\xF1"), "\xE5\xA0\xB1") << name;
    }
    EXPECT_EQ(CharsetToUtf8("cp1251", "\xB9"), "\xE2\x84\x96");
    EXPECT_EQ(CharsetToUtf8("ks_c_5601-1987", "\xBA\xB8"), "\xEB\xB3\xB4");
    EXPECT_EQ(CharsetToUtf8("UTF8", "\xC3\xA4"), "\xC3\xA4");
    EXPECT_EQ(CharsetToUtf8("koi8-r", ""), "");
}

TEST(CharsetToUtf8, GivesNoneForWhatItCannotRead) {
    struct Case {
        std::string charset, bytes;
    };
    const Case cases[] = {
        {"x-unknown", "abc"},
        {"", "abc"},
        {"utf-7", "+AOQ-"},
        {"utf-8", "\xC3("},               // malformed
        {"utf-8", "\xED\xA0\x80"},        // a surrogate
        {"iso-8859-6", "\xA1"},           // a byte the charset leaves unassigned
        {"shift_jis", "\x95"},            // a cut sequence
        {"euc-kr", "\xBA\xB8\xB0"},
    };
    for (const Case& c : cases) EXPECT_EQ(CharsetToUtf8(c.charset, c.bytes), std::nullopt) << c.charset;
}

TEST(IsUtf8Charset, AnySpellingOfUtf8) {
    for (const std::string name : {"utf-8", "UTF-8", "utf8", "utf-8*de"}) EXPECT_TRUE(IsUtf8Charset(name)) << name;
    for (const std::string name : {"utf-7", "utf-16", "iso-8859-1", ""}) EXPECT_FALSE(IsUtf8Charset(name)) << name;
}

}  // namespace
}  // namespace zendrel

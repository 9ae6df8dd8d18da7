#include "common/charset.h"

#include <array>

#include "common/system_charset.h"
#include "common/text.h"

namespace zendrel {
namespace {

enum class Reading {
    kUtf8,         // checked, and kept as it is
    kWindows1252,  // the program's own text, by its own table
    kSystem,       // by the system's converter
};

struct KnownCharset {
    std::string_view name;  // as Normalized() leaves it
    Reading reading;
    SystemCharset system;
};

// The names mail programs write, with the system's name for each. Where a Windows code page extends a standard
// (Shift_JIS, EUC-KR, GB2312, Big5, TIS-620), both systems read by the extension, so that the mail programs that
// label the extension with the standard's name are understood the same on both.
constexpr std::array kKnownCharsets = {
    KnownCharset{"utf-8", Reading::kUtf8, {}},
    KnownCharset{"utf8", Reading::kUtf8, {}},
    // Mail programs label Windows-1252 text as Latin-1 or ASCII; read as Windows-1252, their "€" stays one.
    KnownCharset{"windows-1252", Reading::kWindows1252, {}},
    KnownCharset{"cp1252", Reading::kWindows1252, {}},
    KnownCharset{"iso-8859-1", Reading::kWindows1252, {}},
    KnownCharset{"latin1", Reading::kWindows1252, {}},
    KnownCharset{"l1", Reading::kWindows1252, {}},
    KnownCharset{"us-ascii", Reading::kWindows1252, {}},
    KnownCharset{"ascii", Reading::kWindows1252, {}},
    KnownCharset{"iso-8859-2", Reading::kSystem, {"ISO-8859-2", 28592}},
    KnownCharset{"latin2", Reading::kSystem, {"ISO-8859-2", 28592}},
    KnownCharset{"iso-8859-3", Reading::kSystem, {"ISO-8859-3", 28593}},
    KnownCharset{"iso-8859-4", Reading::kSystem, {"ISO-8859-4", 28594}},
    KnownCharset{"iso-8859-5", Reading::kSystem, {"ISO-8859-5", 28595}},
    KnownCharset{"iso-8859-6", Reading::kSystem, {"ISO-8859-6", 28596}},
    KnownCharset{"iso-8859-7", Reading::kSystem, {"ISO-8859-7", 28597}},
    KnownCharset{"iso-8859-8", Reading::kSystem, {"ISO-8859-8", 28598}},
    KnownCharset{"iso-8859-8-i", Reading::kSystem, {"ISO-8859-8", 28598}},
    KnownCharset{"iso-8859-9", Reading::kSystem, {"ISO-8859-9", 28599}},
    KnownCharset{"iso-8859-10", Reading::kSystem, {"ISO-8859-10", 28600}},
    KnownCharset{"iso-8859-11", Reading::kSystem, {"WINDOWS-874", 874}},
    KnownCharset{"iso-8859-13", Reading::kSystem, {"ISO-8859-13", 28603}},
    KnownCharset{"iso-8859-14", Reading::kSystem, {"ISO-8859-14", 28604}},
    KnownCharset{"iso-8859-15", Reading::kSystem, {"ISO-8859-15", 28605}},
    KnownCharset{"latin9", Reading::kSystem, {"ISO-8859-15", 28605}},
    KnownCharset{"iso-8859-16", Reading::kSystem, {"ISO-8859-16", 28606}},
    KnownCharset{"windows-1250", Reading::kSystem, {"WINDOWS-1250", 1250}},
    KnownCharset{"windows-1251", Reading::kSystem, {"WINDOWS-1251", 1251}},
    KnownCharset{"windows-1253", Reading::kSystem, {"WINDOWS-1253", 1253}},
    KnownCharset{"windows-1254", Reading::kSystem, {"WINDOWS-1254", 1254}},
    KnownCharset{"windows-1255", Reading::kSystem, {"WINDOWS-1255", 1255}},
    KnownCharset{"windows-1256", Reading::kSystem, {"WINDOWS-1256", 1256}},
    KnownCharset{"windows-1257", Reading::kSystem, {"WINDOWS-1257", 1257}},
    KnownCharset{"windows-1258", Reading::kSystem, {"WINDOWS-1258", 1258}},
    KnownCharset{"windows-874", Reading::kSystem, {"WINDOWS-874", 874}},
    KnownCharset{"tis-620", Reading::kSystem, {"WINDOWS-874", 874}},
    KnownCharset{"koi8-r", Reading::kSystem, {"KOI8-R", 20866}},
    KnownCharset{"koi8-u", Reading::kSystem, {"KOI8-U", 21866}},
    KnownCharset{"gbk", Reading::kSystem, {"GBK", 936}},
    KnownCharset{"gb2312", Reading::kSystem, {"GBK", 936}},
    KnownCharset{"euc-cn", Reading::kSystem, {"GBK", 936}},
    KnownCharset{"cp936", Reading::kSystem, {"GBK", 936}},
    KnownCharset{"gb18030", Reading::kSystem, {"GB18030", 54936}},
    KnownCharset{"big5", Reading::kSystem, {"BIG5", 950}},
    KnownCharset{"cp950", Reading::kSystem, {"BIG5", 950}},
    KnownCharset{"shift_jis", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"shift-jis", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"sjis", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"ms_kanji", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"windows-31j", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"cp932", Reading::kSystem, {"CP932", 932}},
    KnownCharset{"euc-jp", Reading::kSystem, {"EUC-JP", 20932}},
    KnownCharset{"iso-2022-jp", Reading::kSystem, {"ISO-2022-JP", 50220}},
    KnownCharset{"euc-kr", Reading::kSystem, {"CP949", 949}},
    KnownCharset{"ks_c_5601-1987", Reading::kSystem, {"CP949", 949}},
    KnownCharset{"cp949", Reading::kSystem, {"CP949", 949}},
};

// The declared name in the spelling of the table: lower case, without an RFC 2231 language ("utf-8*de"), without
// the "x-" of unregistered names, "iso8859-2" and "iso_8859-2" as "iso-8859-2", "cp1250" as "windows-1250".
std::string Normalized(std::string_view charset) {
    charset = charset.substr(0, charset.find('*'));
    while (!charset.empty() && IsWhiteSpace(charset.front())) charset.remove_prefix(1);
    while (!charset.empty() && IsWhiteSpace(charset.back())) charset.remove_suffix(1);
    std::string name = LowerCase(charset);
    if (name.starts_with("x-")) name.erase(0, 2);
    for (std::string_view spelling : {"iso8859-", "iso_8859-"}) {
        if (name.starts_with(spelling)) name = "iso-8859-" + name.substr(spelling.size());
    }
    if (name.starts_with("cp125") && name.size() == 6) name = "windows-" + name.substr(2);
    return name;
}

const KnownCharset* FindCharset(std::string_view charset) {
    const std::string name = Normalized(charset);
    for (const KnownCharset& known : kKnownCharsets) {
        if (known.name == name) return &known;
    }
    return nullptr;
}

}  // namespace

bool IsUtf8Charset(std::string_view charset) {
    const KnownCharset* known = FindCharset(charset);
    return known != nullptr && known->reading == Reading::kUtf8;
}

std::optional<std::string> CharsetToUtf8(std::string_view charset, std::string_view bytes) {
    const KnownCharset* known = FindCharset(charset);
    if (known == nullptr) return std::nullopt;
    switch (known->reading) {
        case Reading::kUtf8:
            if (!IsWellFormedUtf8(bytes)) return std::nullopt;
            return std::string(bytes);
        case Reading::kWindows1252:
            return Windows1252ToUtf8(bytes);
        case Reading::kSystem:
            break;
    }
    if (bytes.empty()) return std::string();
    return SystemCharsetToUtf8(known->system, bytes);
}

}  // namespace zendrel

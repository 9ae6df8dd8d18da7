#include "mime/header_params.h"

#include <map>
#include <vector>

#include "common/text.h"
#include "mime/declared_charset.h"
#include "mime/encoded_words.h"

namespace zendrel {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Only an escaped quote or backslash is undone inside a quoted string: mailers write Windows paths such as
// "C:\tmp\x.txt" with single backslashes, and those must keep them.
bool IsQuotedPair(std::string_view text, std::size_t i) {
    return text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\');
}

// Splits a field value at the semicolons that stand outside quoted strings.
std::vector<std::string_view> SplitAtSemicolons(std::string_view value) {
    std::vector<std::string_view> items;
    bool quoted = false;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted && IsQuotedPair(value, i)) {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            items.push_back(value.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    items.push_back(value.substr(begin));
    return items;
}

// The text of a quoted string that begins at text[0]; an unterminated one runs to the end.
std::string Unquote(std::string_view text) {
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') break;
        if (IsQuotedPair(text, i)) {
            out += text[++i];
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;  // a folded line: the line break goes, the white space after it stays
        } else {
            out += c;
        }
    }
    return out;
}

std::string ParseValue(std::string_view raw) {
    raw = Trim(raw);
    if (!raw.empty() && raw.front() == '"') return Unquote(raw);
    return std::string(raw);
}

// "%XX" becomes its byte; a "%" without two hexadecimal digits stays as it is.
std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// One parameter as written: its name (without the RFC 2231 marks), the piece number, whether it is
// percent-encoded, and its value with quotes removed.
struct RawParameter {
    std::string name;
    int piece = -1;  // -1: not numbered
    bool extended = false;
    std::string value;
};

std::optional<RawParameter> ParseParameter(std::string_view item) {
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view name = Trim(item.substr(0, equals));
    if (name.empty() || name.find('"') != std::string_view::npos) return std::nullopt;
    RawParameter parameter;
    if (name.back() == '*') {
        parameter.extended = true;
        name.remove_suffix(1);
    }
    const std::size_t star = name.find('*');
    if (star != std::string_view::npos) {
        const std::string_view digits = name.substr(star + 1);
        if (digits.empty() || digits.size() > 4) return std::nullopt;
        int piece = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            piece = piece * 10 + (c - '0');
        }
        parameter.piece = piece;
        name = name.substr(0, star);
    }
    parameter.name = LowerCase(name);
    parameter.value = ParseValue(item.substr(equals + 1));
    return parameter;
}

// Splits 'charset'language'text' into its charset and its text; a value without the two quotes is all text.
void SplitCharset(std::string_view value, std::string_view& charset, std::string_view& text) {
    const std::size_t first = value.find('\'');
    const std::size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos) {
        charset = {};
        text = value;
        return;
    }
    charset = value.substr(0, first);
    text = value.substr(second + 1);
}

// A parameter's value as it was sent: its bytes, and for the RFC 2231 form the charset it declares for them.
struct ParameterValue {
    std::string bytes;
    bool rfc2231 = false;
    std::string charset;
};

// Joins the numbered pieces 0, 1, 2 ... (up to the first missing one) of an RFC 2231 parameter.
std::optional<ParameterValue> JoinPieces(const std::map<int, const RawParameter*>& pieces) {
    auto first = pieces.find(0);
    if (first == pieces.end()) return std::nullopt;
    std::string_view charset;
    std::string bytes;
    for (int n = 0;; ++n) {
        auto it = pieces.find(n);
        if (it == pieces.end()) break;
        const RawParameter& piece = *it->second;
        if (!piece.extended) {
            bytes += piece.value;
            continue;
        }
        std::string_view text = piece.value;
        if (n == 0) SplitCharset(piece.value, charset, text);
        bytes += PercentDecode(text);
    }
    return ParameterValue{std::move(bytes), true, std::string(charset)};
}

std::optional<ParameterValue> FindParameter(std::string_view fieldValue, std::string_view name) {
    const std::string wanted = LowerCase(name);
    std::vector<RawParameter> parameters;
    for (std::string_view item : SplitAtSemicolons(fieldValue)) {
        auto parameter = ParseParameter(item);
        if (parameter && parameter->name == wanted) parameters.push_back(std::move(*parameter));
    }
    const RawParameter* plain = nullptr;
    const RawParameter* extended = nullptr;
    std::map<int, const RawParameter*> pieces;
    for (const RawParameter& parameter : parameters) {
        if (parameter.piece >= 0) {
            pieces.emplace(parameter.piece, &parameter);
        } else if (parameter.extended) {
            if (!extended) extended = &parameter;
        } else if (!plain) {
            plain = &parameter;
        }
    }
    if (extended) {
        std::string_view charset;
        std::string_view text;
        SplitCharset(extended->value, charset, text);
        return ParameterValue{PercentDecode(text), true, std::string(charset)};
    }
    if (auto joined = JoinPieces(pieces)) return joined;
    if (plain) return ParameterValue{plain->value, false, {}};
    return std::nullopt;
}

}  // namespace

std::optional<std::string> GetHeaderParameter(std::string_view fieldValue, std::string_view name) {
    std::optional<ParameterValue> value = FindParameter(fieldValue, name);
    if (!value) return std::nullopt;
    return value->rfc2231 ? HeaderTextFromCharset(value->charset, value->bytes) : std::move(value->bytes);
}

std::optional<Utf8Text> GetHeaderParameterUtf8(std::string_view fieldValue, std::string_view name) {
    const std::optional<ParameterValue> value = FindParameter(fieldValue, name);
    if (!value) return std::nullopt;
    return value->rfc2231 ? Utf8FromCharset(value->charset, value->bytes) : DecodeEncodedWordsToUtf8(value->bytes);
}

}  // namespace zendrel

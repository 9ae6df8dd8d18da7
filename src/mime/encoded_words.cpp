#include "mime/encoded_words.h"

#include <algorithm>
#include <optional>

#include "common/base64.h"
#include "common/text.h"
#include "mime/declared_charset.h"
#include "mime/quoted_printable.h"

namespace zendrel {
namespace {

constexpr auto npos = std::string_view::npos;

struct EncodedWord {
    std::size_t begin = 0;  // position of "=?"
    std::size_t end = 0;    // position after "?="
    std::string_view charset;
    std::string_view encoding;
    std::string_view encodedText;
};

// The next "=?" charset "?" encoding "?" text "?=" from `from` on. Only the first "=?" is tried: when it does
// not begin a complete word, no later one is looked for.
bool FindEncodedWord(std::string_view text, std::size_t from, EncodedWord& word) {
    const std::size_t p1 = text.find("=?", from);
    if (p1 == npos) return false;
    const std::size_t p2 = text.find('?', p1 + 2);
    if (p2 == npos) return false;
    const std::size_t p3 = text.find('?', p2 + 1);
    if (p3 == npos) return false;
    // The closing "?=" must begin after p3, so an encoded text that starts with "=" is not mistaken for the end.
    const std::size_t p4 = text.find("?=", p3 + 1);
    if (p4 == npos) return false;
    word.begin = p1;
    word.end = p4 + 2;
    word.charset = text.substr(p1 + 2, p2 - (p1 + 2));
    word.encoding = text.substr(p2 + 1, p3 - (p2 + 1));
    word.encodedText = text.substr(p3 + 1, p4 - (p3 + 1));
    return true;
}

bool IsAllWhiteSpace(std::string_view text) { return std::all_of(text.begin(), text.end(), IsWhiteSpace); }

// The bytes a word carries; none for an unknown encoding, which removes the word.
std::optional<std::string> WordBytes(const EncodedWord& word) {
    const std::string encoding = LowerCase(word.encoding);
    if (encoding == "b") return DecodeBase64(word.encodedText);
    if (encoding == "q") {
        std::string qp(word.encodedText);
        std::replace(qp.begin(), qp.end(), '_', ' ');
        return DecodeQuotedPrintable(qp, TextFormat::kSingleByte);
    }
    return std::nullopt;
}

// Scans `text` for encoded words; `readWords` turns the bytes of a run of adjacent words of one charset into the
// result's text, `readLiteral` the text around them.
template <typename ReadWords, typename ReadLiteral>
std::string Decode(std::string_view text, ReadWords readWords, ReadLiteral readLiteral) {
    std::string result;
    result.reserve(text.size());
    std::string_view runCharset;
    std::string runBytes;
    bool inRun = false;
    const auto endRun = [&] {
        if (inRun) result += readWords(runCharset, runBytes);
        runBytes.clear();
        inRun = false;
    };
    std::size_t scan = 0;
    bool afterWord = false;
    EncodedWord word;
    while (FindEncodedWord(text, scan, word)) {
        const std::string_view between = text.substr(scan, word.begin - scan);
        // Linear white space between two encoded words only separates them; any other text is real content.
        if (!afterWord || !IsAllWhiteSpace(between)) {
            endRun();
            result += readLiteral(between);
        }
        const std::optional<std::string> bytes = WordBytes(word);
        if (!bytes || (inRun && !EqualsNoCase(runCharset, word.charset))) endRun();
        if (bytes) {
            runCharset = word.charset;
            runBytes += *bytes;
            inRun = true;
        }
        scan = word.end;
        afterWord = true;
    }
    endRun();
    result += readLiteral(text.substr(scan));
    return result;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
    return Decode(text, HeaderTextFromCharset, [](std::string_view literal) { return std::string(literal); });
}

Utf8Text DecodeEncodedWordsToUtf8(std::string_view text) {
    // Checked once for the whole text: the words a mailer writes are ASCII, so this speaks for the text around them.
    const bool utf8 = IsWellFormedUtf8(text);
    return Decode(text, Utf8FromCharset, [utf8](std::string_view literal) {
        return utf8 ? std::string(literal) : Windows1252ToUtf8(literal);
    });
}

}  // namespace zendrel

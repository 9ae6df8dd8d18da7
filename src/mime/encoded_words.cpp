#include "mime/encoded_words.h"

#include <algorithm>

#include "common/base64.h"
#include "common/text.h"
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

std::string DecodeWord(const EncodedWord& word) {
    const TextFormat format = EqualsNoCase(word.charset, "utf-8") ? TextFormat::Utf8 : TextFormat::SingleByte;
    const std::string encoding = LowerCase(word.encoding);
    if (encoding == "b") return ReadText(DecodeBase64(word.encodedText), format);
    if (encoding == "q") {
        std::string qp(word.encodedText);
        std::replace(qp.begin(), qp.end(), '_', ' ');
        return DecodeQuotedPrintable(qp, format);
    }
    return {};  // an unknown encoding removes the word
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t scan = 0;
    bool afterWord = false;
    EncodedWord word;
    while (FindEncodedWord(text, scan, word)) {
        const std::string_view between = text.substr(scan, word.begin - scan);
        // Linear white space between two encoded words only separates them; any other text is real content.
        if (!afterWord || !IsAllWhiteSpace(between)) result += between;
        result += DecodeWord(word);
        scan = word.end;
        afterWord = true;
    }
    result += text.substr(scan);
    return result;
}

}  // namespace zendrel

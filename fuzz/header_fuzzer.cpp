// Header field lookup, encoded words, the HTML charset adjustment and safe file names.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text.h"
#include "fuzz_require.h"
#include "mime/attachments.h"
#include "mime/body_charset.h"
#include "mime/encoded_words.h"
#include "mime/header_field.h"
#include "plain_codecs.h"

namespace zendrel::fuzz {
namespace {

using namespace zendrel::testsupport;

bool StartsContinuationLine(char c) { return c == ' ' || c == '\t' || c == '\xA0'; }

// A field value the plain way: after the first CR LF + name + ":" of the lower-cased block, up to the first CR LF that
// no blank, tab or no-break space follows, not unfolded, letter case kept, leading blanks removed.
std::string ReferenceHeaderField(const std::string& header, const std::string& name) {
    const std::string key = "\r\n" + LowerCase(name) + ":";
    const std::size_t at = LowerCase(header).find(key);
    if (at == std::string::npos) return {};
    std::size_t begin = at + key.size();
    std::size_t end = begin;
    while ((end = header.find("\r\n", end)) != std::string::npos) {
        if (end + 2 >= header.size() || !StartsContinuationLine(header[end + 2])) break;
        end += 2;
    }
    if (end == std::string::npos) end = header.size();
    while (begin < end && header[begin] == ' ') ++begin;
    return header.substr(begin, end - begin);
}

void CheckHeaderField(const std::string& header, const std::string& name) {
    FUZZ_REQUIRE(GetHeaderField(header, name) == ReferenceHeaderField(header, name));
}

void CheckEncodedWords(const std::string& text) {
    const std::string decoded = DecodeEncodedWords(text);
    FUZZ_REQUIRE(decoded.size() <= text.size());  // a word's decoded bytes never outnumber its encoded text
    if (!Contains(text, "=?")) FUZZ_REQUIRE(decoded == text);
}

// Words a mailer writes decode to the bytes they carry; white space between two words goes, other text stays.
void CheckEncodedWordRoundTrip(const std::string& first, const std::string& second) {
    const std::string b = "=?iso-8859-1?B?" + EncodeBase64(first, Base64Alphabet::Standard) + "?=";
    const std::string q = "=?ISO-8859-1?q?" + EncodeQ(second) + "?=";
    const std::string utf8 = "=?UTF-8?b?" + EncodeBase64(SingleByteToUtf8(first), Base64Alphabet::Standard) + "?=";
    FUZZ_REQUIRE(DecodeEncodedWords(b) == first);
    FUZZ_REQUIRE(DecodeEncodedWords(q) == second);
    FUZZ_REQUIRE(DecodeEncodedWords(utf8) == first);
    FUZZ_REQUIRE(DecodeEncodedWords("Re: " + b + " " + q) == "Re: " + first + second);
    FUZZ_REQUIRE(DecodeEncodedWords(q + utf8) == second + first);
    FUZZ_REQUIRE(DecodeEncodedWords(b + " und " + q + ".") == first + " und " + second + ".");
}

void CheckSafeFileName(const std::string& name) {
    const std::string safe = MakeSafeFileName(name);
    FUZZ_REQUIRE(safe.empty() || IsSafeFileName(safe));
    FUZZ_REQUIRE(safe.size() <= name.size() + 1);  // only a device name grows, by its leading "_"
}

void CheckBodyCharset(const std::string& header, const std::string& text) {
    const std::string converted = ConvertBodyCharset(header, text);
    FUZZ_REQUIRE(converted.size() <= 2 * text.size());
    if (!Contains(LowerCase(GetHeaderField(header, "content-type")), "text/html")) FUZZ_REQUIRE(converted == text);
}

}  // namespace
}  // namespace zendrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zendrel::fuzz;
    FuzzedDataProvider provider(data, size);
    const std::string name = provider.ConsumeRandomLengthString(64);
    const std::string header = provider.ConsumeRandomLengthString(4096);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    CheckHeaderField(header, name);
    CheckHeaderField(header, "content-disposition");
    CheckHeaderField(text, "subject");
    CheckEncodedWords(text);
    CheckEncodedWords(header);
    CheckEncodedWordRoundTrip(name, header);
    CheckSafeFileName(name);
    CheckSafeFileName(text);
    CheckBodyCharset(header, text);
    return 0;
}

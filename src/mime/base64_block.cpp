#include "mime/base64_block.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/base64.h"

namespace zendrel {
namespace {

bool IsCrLfAt(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n';
}

// The part of the text that is left once every CR LF pair is gone and blanks are trimmed from both ends, in the
// positions of the original text (CR LF pairs inside it are still there).
std::string_view TrimBlanksAndLineBreaks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end) {
        if (text[begin] == ' ') {
            ++begin;
        } else if (IsCrLfAt(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    while (end > begin) {
        if (text[end - 1] == ' ') {
            --end;
        } else if (end - begin >= 2 && text[end - 2] == '\r' && text[end - 1] == '\n') {
            end -= 2;
        } else {
            break;
        }
    }
    return text.substr(begin, end - begin);
}

// Where the next CR LF pair begins, at `from` or later, or `end` when there is none. A LF right at `from` never ends
// a pair: the character before it is the LF of the previous pair, or lies outside the text.
const char* FindCrLf(const char* from, const char* end) {
    const char* p = from;
    while (p != end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lf == nullptr) break;
        if (lf != from && lf[-1] == '\r') return lf - 1;
        p = lf + 1;
    }
    return end;
}

// A character's value, already shifted to its place in a group of four, so that the four lookups of a group
// combine with OR alone. The characters a group cannot simply take (tabs, CRs and LFs, which are skipped in front
// of a group, and "=", which may end the data) carry kTakeCare, which no value reaches.
constexpr std::uint32_t kTakeCare = 1u << 31;

using PlaceTable = std::array<std::uint32_t, 256>;

constexpr PlaceTable MakePlaceTable(int place) {
    PlaceTable table{};
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        table[i] = Base64Value(c) << (6 * (3 - place));
        if (IsSkippedBeforeBase64Group(c) || c == '=') table[i] |= kTakeCare;
    }
    return table;
}

constexpr std::array<PlaceTable, 4> kPlaceValue = {MakePlaceTable(0), MakePlaceTable(1), MakePlaceTable(2),
                                                   MakePlaceTable(3)};

// Decodes the text as if every CR LF pair were gone, straight from the runs of characters between the pairs.
// Nearly every group lies whole inside a run and holds only alphabet characters: those are decoded in a tight loop.
// Everything else (white space before a group, "=", a group across a pair) goes one group at a time through the
// general rules.
class BlockDecoder {
public:
    explicit BlockDecoder(std::string_view data)
        : next_(data.data()), end_(data.data() + data.size()), runEnd_(FindCrLf(next_, end_)) {}

    enum class Step {
        kFull,      // fewer than three bytes of room are left: call again with more
        kEnd,       // the data is over
        kRejected,  // the rules reject the text
    };

    // Decodes into `dst` up to `end`, which must have room for three bytes, advancing `dst`. A text is rejected as
    // a whole: bytes that came before a rejection were never the text's content.
    Step DecodeSome(unsigned char*& dst, unsigned char* const end) {
        for (;;) {
            unsigned char* const plainStart = dst;
            dst = DecodePlainGroups(dst, end);
            if (dst != plainStart) skippedSinceGroup_ = false;
            if (end - dst < 3) return Step::kFull;
            if (next_ == runEnd_) {
                // A tail of nothing but tabs, CRs and LFs still spoils the text.
                if (!NextRun()) return skippedSinceGroup_ ? Step::kRejected : Step::kEnd;
                continue;
            }
            if (IsSkippedBeforeBase64Group(*next_)) {
                ++next_;
                skippedSinceGroup_ = true;
                continue;
            }
            char group[4];
            for (char& c : group) {
                if (!Take(c)) return Step::kRejected;  // fewer than four characters left
            }
            const std::size_t bytes = DecodeBase64Group(group, dst);
            dst += bytes;
            skippedSinceGroup_ = false;
            if (bytes < 3) return Step::kEnd;  // a padded group ends the data
        }
    }

private:
    // Groups of four alphabet characters from the current run, until one is not.
    unsigned char* DecodePlainGroups(unsigned char* dst, const unsigned char* end) {
        const char* p = next_;
        while (runEnd_ - p >= 4 && end - dst >= 3) {
            const std::uint32_t v = kPlaceValue[0][static_cast<unsigned char>(p[0])] |
                                    kPlaceValue[1][static_cast<unsigned char>(p[1])] |
                                    kPlaceValue[2][static_cast<unsigned char>(p[2])] |
                                    kPlaceValue[3][static_cast<unsigned char>(p[3])];
            if (v & kTakeCare) break;
            dst[0] = static_cast<unsigned char>(v >> 16);
            dst[1] = static_cast<unsigned char>(v >> 8);
            dst[2] = static_cast<unsigned char>(v);
            dst += 3;
            p += 4;
        }
        next_ = p;
        return dst;
    }

    // Steps over the CR LF pair that ends the current run; false when the run ends the text.
    bool NextRun() {
        if (runEnd_ == end_) return false;
        next_ = runEnd_ + 2;
        runEnd_ = FindCrLf(next_, end_);
        return true;
    }

    // The next character of the text without its pairs; false at the end of the text.
    bool Take(char& c) {
        while (next_ == runEnd_) {
            if (!NextRun()) return false;
        }
        c = *next_++;
        return true;
    }

    const char* next_;
    const char* const end_;
    const char* runEnd_;
    bool skippedSinceGroup_ = false;
};

}  // namespace

std::optional<std::string> DecodeBase64Block(std::string_view text) {
    const std::string_view data = TrimBlanksAndLineBreaks(text);
    if (data.empty()) return std::nullopt;
    std::string decoded;
    decoded.resize(data.size() / 4 * 3 + 3);
    auto* const out = reinterpret_cast<unsigned char*>(decoded.data());
    unsigned char* dst = out;
    // Three bytes for every four characters and three more is room for all of them.
    if (BlockDecoder(data).DecodeSome(dst, out + decoded.size()) != BlockDecoder::Step::kEnd || dst == out) {
        return std::nullopt;
    }
    decoded.resize(static_cast<std::size_t>(dst - out));
    return decoded;
}

bool DecodeBase64BlockInPieces(std::string_view text, std::size_t pieceSize,
                               const std::function<bool(std::string_view)>& take) {
    const std::string_view data = TrimBlanksAndLineBreaks(text);
    if (data.empty()) return false;
    std::vector<unsigned char> buffer(std::max<std::size_t>(std::min(pieceSize, data.size() / 4 * 3 + 3), 3));
    BlockDecoder decoder(data);
    bool any = false;
    for (;;) {
        unsigned char* dst = buffer.data();
        const BlockDecoder::Step step = decoder.DecodeSome(dst, buffer.data() + buffer.size());
        if (step == BlockDecoder::Step::kRejected) return false;
        const auto count = static_cast<std::size_t>(dst - buffer.data());
        any = any || count > 0;
        if (step == BlockDecoder::Step::kEnd) {
            // Data that decodes to nothing is no content either.
            return any && (count == 0 || take(std::string_view(reinterpret_cast<const char*>(buffer.data()), count)));
        }
        if (!take(std::string_view(reinterpret_cast<const char*>(buffer.data()), count))) return false;
    }
}

}  // namespace zendrel

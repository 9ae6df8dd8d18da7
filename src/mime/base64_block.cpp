#include "mime/base64_block.h"

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

bool IsSkippedBeforeGroup(char c) { return c == '\t' || c == '\r' || c == '\n'; }

// Feeds the text without its CR LF pairs to the base64 rules in pieces, so that a large attachment never needs a
// second whole copy of its text. A piece is cut only right after a complete group, where the rules start afresh
// (tabs, CRs and LFs skipped, then the next four characters), so decoding the pieces one by one gives exactly the
// bytes of decoding the whole text at once.
class PiecewiseDecoder {
public:
    explicit PiecewiseDecoder(std::size_t textSize) {
        decoded_.reserve(textSize / 4 * 3 + 3);
        piece_.reserve(kPieceSize + 4);
    }

    // Returns false once the data has ended with a padded group; the rest of the text is not looked at.
    bool Add(char c) {
        piece_ += c;
        if (groupLength_ == 0 && IsSkippedBeforeGroup(c)) return true;
        group_[groupLength_++] = c;
        if (groupLength_ < 4) return true;
        groupLength_ = 0;
        const bool padded = group_[2] == '=' || group_[3] == '=';
        if (padded || piece_.size() >= kPieceSize) {
            DecodePiece();
            return !padded;
        }
        return true;
    }

    // The decoded bytes, or none when any piece failed (the rules fail the whole text then).
    std::optional<std::string> Finish() {
        if (!piece_.empty()) DecodePiece();
        if (failed_ || decoded_.empty()) return std::nullopt;
        return std::move(decoded_);
    }

private:
    static constexpr std::size_t kPieceSize = 64 * 1024;

    void DecodePiece() {
        const std::string bytes = DecodeBase64(piece_);
        // Any piece that holds characters decodes to at least one byte unless the rules reject it.
        if (bytes.empty()) failed_ = true;
        decoded_ += bytes;
        piece_.clear();
    }

    std::string decoded_;
    std::string piece_;
    char group_[4] = {};
    int groupLength_ = 0;
    bool failed_ = false;
};

}  // namespace

std::optional<std::string> DecodeBase64Block(std::string_view text) {
    const std::string_view data = TrimBlanksAndLineBreaks(text);
    if (data.empty()) return std::nullopt;
    PiecewiseDecoder decoder(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (IsCrLfAt(data, i)) {
            ++i;
            continue;
        }
        if (!decoder.Add(data[i])) break;
    }
    return decoder.Finish();
}

}  // namespace zendrel

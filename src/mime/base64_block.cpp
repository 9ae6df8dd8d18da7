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

// Characters that are skipped before a group or end the data; every other one just fills a group.
bool NeedsCare(char c) { return IsSkippedBeforeGroup(c) || c == '='; }

// Feeds the text without its CR LF pairs to the base64 rules in pieces, so that a large attachment never needs a
// second whole copy of its text. A piece is cut only right after a complete group, where the rules start afresh
// (tabs, CRs and LFs skipped, then the next four characters), so decoding the pieces one by one gives exactly the
// bytes of decoding the whole text at once.
//
// Tabs, CRs and LFs are only skipped before a group, so the characters of the group being read are always the
// last `groupLength_` characters of the piece.
class PiecewiseDecoder {
public:
    explicit PiecewiseDecoder(std::size_t textSize) {
        decoded_.reserve(textSize / 4 * 3 + 3);
        piece_.reserve(kPieceSize + 128);
    }

    // Returns false once the data has ended with a padded group; the rest of the text is not looked at.
    bool Add(std::string_view run) {
        while (!run.empty()) {
            std::size_t plain = 0;
            while (plain < run.size() && !NeedsCare(run[plain])) ++plain;
            if (plain > 0) {
                if (!AddPlain(run.substr(0, plain))) return false;
                run.remove_prefix(plain);
            } else {
                if (!AddWithCare(run.front())) return false;
                run.remove_prefix(1);
            }
        }
        return true;
    }

    // The decoded bytes, or none when any piece failed (the rules fail the whole text then).
    std::optional<std::string> Finish() {
        if (!piece_.empty()) DecodePiece(piece_.size());
        if (failed_ || decoded_.empty()) return std::nullopt;
        return std::move(decoded_);
    }

private:
    static constexpr std::size_t kPieceSize = 64 * 1024;

    // Characters that are neither skipped nor padding: they only fill groups.
    bool AddPlain(std::string_view chars) {
        if (groupLength_ == 3 && piece_.back() == '=') {
            // "=" as the third character ends the data, whatever the fourth one is
            piece_ += chars.front();
            groupLength_ = 0;
            DecodePiece(piece_.size());
            return false;
        }
        const bool completesGroup = groupLength_ + chars.size() >= 4;
        piece_ += chars;
        groupLength_ = (groupLength_ + chars.size()) % 4;
        if (completesGroup && piece_.size() >= kPieceSize) DecodePiece(piece_.size() - groupLength_);
        return true;
    }

    bool AddWithCare(char c) {
        piece_ += c;
        if (groupLength_ == 0 && IsSkippedBeforeGroup(c)) return true;
        if (++groupLength_ < 4) return true;
        groupLength_ = 0;
        const std::size_t n = piece_.size();
        const bool padded = piece_[n - 2] == '=' || piece_[n - 1] == '=';
        if (padded || n >= kPieceSize) DecodePiece(n);
        return !padded;
    }

    // Decodes the first `length` characters of the piece, which end right after a group.
    void DecodePiece(std::size_t length) {
        const std::string bytes = DecodeBase64(std::string_view(piece_).substr(0, length));
        // Any piece that holds characters decodes to at least one byte unless the rules reject it.
        if (bytes.empty()) failed_ = true;
        decoded_ += bytes;
        piece_.erase(0, length);
    }

    std::string decoded_;
    std::string piece_;
    std::size_t groupLength_ = 0;
    bool failed_ = false;
};

}  // namespace

std::optional<std::string> DecodeBase64Block(std::string_view text) {
    const std::string_view data = TrimBlanksAndLineBreaks(text);
    if (data.empty()) return std::nullopt;
    PiecewiseDecoder decoder(data.size());
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t lineBreak = data.find("\r\n", pos);
        if (lineBreak == std::string_view::npos) lineBreak = data.size();
        if (!decoder.Add(data.substr(pos, lineBreak - pos))) break;
        pos = lineBreak + 2;
    }
    return decoder.Finish();
}

}  // namespace zendrel

#include "mime/multipart.h"

#include <algorithm>
#include <optional>

#include "common/text.h"
#include "mime/encoded_words.h"
#include "mime/header_field.h"
#include "mime/header_params.h"

namespace zendrel {
namespace {

constexpr auto npos = std::string_view::npos;

// Nesting beyond this depth is kept as one part: real mail never comes close, and a crafted message must not be able
// to exhaust the stack.
constexpr int kMaxNesting = 64;

// A body made of nothing but CR LF pairs and blanks is stored as empty.
bool IsBlankBody(std::string_view body) {
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == ' ') continue;
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

std::string_view StoredBody(std::string_view body) { return IsBlankBody(body) ? std::string_view() : body; }

// The boundary of a multipart/... Content-Type, or none for any other part.
std::optional<std::string> MultipartBoundary(std::string_view contentType) {
    std::size_t begin = 0;
    while (begin < contentType.size() && IsWhiteSpace(contentType[begin])) ++begin;
    std::size_t end = begin;
    while (end < contentType.size() && contentType[end] != ';' && !IsWhiteSpace(contentType[end])) ++end;
    if (!StartsWithNoCase(contentType.substr(begin, end - begin), "multipart/")) return std::nullopt;
    auto boundary = GetHeaderParameter(contentType, "boundary");
    if (!boundary || boundary->empty()) return std::nullopt;
    return boundary;
}

class MessageSplitter {
public:
    std::vector<MessagePart> TakeParts() {
        // Records were added children first; the list shows every container before its parts.
        std::reverse(parts_.begin(), parts_.end());
        return std::move(parts_);
    }

    // `text` is a part as it stands; its last `trailer` characters are the CR LF that belongs to the delimiter after
    // it. They still count when the header's end is looked for (a part may end right after its blank line) but never
    // belong to the body.
    void Split(std::string_view text, std::size_t trailer, std::string_view enclosingBoundary, int depth) {
        const std::size_t headerEnd = text.find("\r\n\r\n");
        if (headerEnd == npos) return;
        const std::string_view header = text.substr(0, headerEnd);
        const std::size_t restBegin = std::min(headerEnd + 4, text.size() - trailer);
        const std::string_view rest = text.substr(restBegin, text.size() - trailer - restBegin);

        const auto boundary = depth < kMaxNesting ? MultipartBoundary(GetHeaderField(header, "content-type"))
                                                  : std::nullopt;
        if (!boundary) {
            Add(enclosingBoundary, header, StoredBody(rest));
            return;
        }
        SplitMultipart(header, rest, *boundary, depth);
    }

private:
    void SplitMultipart(std::string_view header, std::string_view rest, const std::string& boundary, int depth) {
        const std::string delimiter = "--" + boundary + "\r\n";
        const std::string closing = "\r\n--" + boundary + "--";
        const std::size_t close = rest.find(closing);
        // Delimiters after the closing one stand in the epilogue and start no part.
        const std::size_t partsEnd = close == npos ? rest.size() : close;

        std::vector<std::size_t> starts;
        for (std::size_t pos = rest.find(delimiter); pos != npos && pos < partsEnd;
             pos = rest.find(delimiter, pos + delimiter.size())) {
            starts.push_back(pos);
        }

        for (std::size_t k = 0; k < starts.size(); ++k) {
            std::size_t end;
            if (k + 1 < starts.size()) {
                end = starts[k + 1];
            } else if (close != npos) {
                end = close + 2;  // up to and including the CR LF that opens the closing delimiter
            } else {
                end = rest.size();  // no closing delimiter: the last part runs to the end
            }
            const std::string_view part = rest.substr(starts[k], end - starts[k]);
            const bool endsWithCrLf = part.size() >= 2 && part.substr(part.size() - 2) == "\r\n";
            const std::size_t trailer = end == rest.size() || !endsWithCrLf ? 0 : 2;
            Split(part, trailer, boundary, depth + 1);
        }

        const std::string_view preamble = rest.substr(0, starts.empty() ? partsEnd : starts.front());
        const std::size_t epilogueBegin = close == npos ? npos : close + boundary.size() + 8;
        const std::string_view epilogue = epilogueBegin < rest.size() ? rest.substr(epilogueBegin) : std::string_view();
        if (preamble.empty() || epilogue.empty()) {
            Add({}, header, StoredBody(preamble.empty() ? epilogue : preamble));
            return;
        }
        // Only text around the parts is joined, never the parts themselves.
        std::string joined = std::string(preamble).append(epilogue);
        Add({}, header, {});
        if (!IsBlankBody(joined)) parts_.back().OwnBody(std::move(joined));
    }

    void Add(std::string_view boundary, std::string_view header, std::string_view body) {
        MessagePart part;
        part.index = static_cast<std::int32_t>(parts_.size());
        part.boundary = std::string(boundary);
        part.header = DecodeEncodedWords(header);
        part.rawHeader = std::string(header);
        part.body = body;
        parts_.push_back(std::move(part));
    }

    std::vector<MessagePart> parts_;
};

}  // namespace

std::vector<MessagePart> SplitMessage(std::string_view text) {
    MessageSplitter splitter;
    splitter.Split(text, 0, {}, 0);
    return splitter.TakeParts();
}

}  // namespace zendrel

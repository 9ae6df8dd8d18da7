#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace zendrel {

// One MIME part of a retrieved message. Its body is a view into the message's text, which must outlive it: a message
// is held once, however many parts it has.
struct MessagePart {
    std::int32_t index = 0;  // order in which the split added the record, from 0
    std::string boundary;    // boundary of the enclosing multipart; empty for a container and a single-part message
    std::string header;      // header block, encoded words decoded; inside a multipart it begins with the delimiter line
    std::string rawHeader;   // the same block as it stands, for what must keep the charsets it declares: the file name
    // Content as it stands in the message, not transfer-decoded; empty when only CR LFs and blanks.
    std::string_view body;
    // Where a body is kept that stands in no text in one piece, a multipart's preamble joined with its epilogue say.
    // Shared, so that the view stays valid when the part is copied or moved.
    std::shared_ptr<const std::string> ownedBody;

    // Makes the body a text of the part's own.
    void OwnBody(std::string text) {
        ownedBody = std::make_shared<const std::string>(std::move(text));
        body = *ownedBody;
    }
};

}  // namespace zendrel

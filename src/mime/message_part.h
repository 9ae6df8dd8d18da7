#pragma once

#include <cstdint>
#include <string>

namespace zendrel {

// One MIME part of a retrieved message.
struct MessagePart {
    std::int32_t index = 0;  // order in which the split added the record, from 0
    std::string boundary;    // boundary of the enclosing multipart; empty for a container and a single-part message
    std::string header;      // header block, encoded words decoded; inside a multipart it begins with the delimiter line
    std::string rawHeader;   // the same block as it stands, for what must keep the charsets it declares: the file name
    std::string body;        // content as it stands in the message, not transfer-decoded; empty when only CR LFs and blanks
};

}  // namespace zendrel

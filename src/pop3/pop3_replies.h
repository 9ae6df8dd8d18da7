#pragma once
// Reading the parts of POP3 replies that the session needs: status, capability list, APOP time stamp, STAT count,
// message sizes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

struct StatusReply {
    bool positive;          // the reply begins with "+OK" in any letter case
    std::string_view text;  // the reply after "+OK" or "-ERR"; the whole reply when it begins with neither
};
StatusReply SplitStatus(std::string_view reply);
// True when the reply begins with "-ERR" in any letter case.
bool IsErrorReply(std::string_view reply);

// The capability lines of a CAPA reply (after its status line, up to the "." or an empty line), upper-cased and
// joined as ";TOP;USER;SASL PLAIN;". Empty when the reply lists none.
std::string ParseCapabilities(std::string_view reply);
// Whether a capability list names `name` alone on one line. An empty list offers everything, since nothing is known.
bool OffersCapability(std::string_view capabilities, std::string_view name);

// The greeting's time stamp for APOP: from its first "<" through the first ">" after it.
std::optional<std::string_view> FindApopTimestamp(std::string_view greeting);

// The message count of a STAT reply ("+OK 5 120" gives 5): the digits at the start of its second blank-separated
// field, 0 when it has none.
std::int32_t ParseMessageCount(std::string_view statReply);

// The sizes in a LIST reply's scan listings ("1 120" lines), indexed by message number; 0 where a message between 1
// and `count` is not listed or its line cannot be read.
std::vector<std::uint64_t> ParseMessageSizes(std::string_view listReply, std::int32_t count);

// The unique ids in a UIDL reply's listings ("1 whqtswO00WBw418f9t5JxYwZ" lines), indexed by message number; empty
// where a message between 1 and `count` is not listed, or its line is not a number and an id of 1 to 70 printable
// characters. An id that two messages share, or a message listed twice, tells no mail apart: those stay empty too.
std::vector<std::string> ParseUniqueIds(std::string_view uidlReply, std::int32_t count);

}  // namespace zendrel

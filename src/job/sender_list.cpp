#include "job/sender_list.h"

#include "common/text.h"

namespace zendrel {

bool SenderMatches(std::string_view from, std::string_view entry) {
    if (from.empty() || entry.empty()) return false;
    const std::string lowerFrom = LowerCase(from);
    const std::string lowerEntry = LowerCase(entry);
    return lowerEntry.find(lowerFrom) != std::string::npos || lowerFrom.find(lowerEntry) != std::string::npos;
}

}  // namespace zendrel

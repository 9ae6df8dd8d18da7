#include "pop3/pop3_replies.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "common/text.h"

namespace zendrel {

StatusReply SplitStatus(std::string_view reply) {
    if (StartsWithNoCase(reply, "+ok")) return {true, reply.substr(3)};
    if (IsErrorReply(reply)) return {false, reply.substr(4)};
    return {false, reply};
}

bool IsErrorReply(std::string_view reply) { return StartsWithNoCase(reply, "-err"); }

std::string ParseCapabilities(std::string_view reply) {
    std::string withoutCr;
    withoutCr.reserve(reply.size());
    for (const char c : reply) {
        if (c != '\r') withoutCr.push_back(c);
    }
    std::string capabilities;
    const std::string_view lines(withoutCr);
    std::size_t lineStart = lines.find('\n');  // the status line lists nothing
    while (lineStart != std::string_view::npos) {
        ++lineStart;
        const std::size_t lineEnd = lines.find('\n', lineStart);
        const std::size_t length = lineEnd == std::string_view::npos ? lineEnd : lineEnd - lineStart;
        const std::string_view line = lines.substr(lineStart, length);
        if (line.empty() || line == ".") break;
        if (capabilities.empty()) capabilities.push_back(';');
        capabilities += UpperCase(line);
        capabilities.push_back(';');
        lineStart = lineEnd;
    }
    return capabilities;
}

bool OffersCapability(std::string_view capabilities, std::string_view name) {
    if (capabilities.empty()) return true;
    std::string entry = ";";
    entry += name;
    entry += ';';
    return capabilities.find(entry) != std::string_view::npos;
}

std::optional<std::string_view> FindApopTimestamp(std::string_view greeting) {
    const std::size_t open = greeting.find('<');
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t close = greeting.find('>', open);
    if (close == std::string_view::npos) return std::nullopt;
    return greeting.substr(open, close - open + 1);
}

std::int32_t ParseMessageCount(std::string_view statReply) {
    const std::size_t blank = statReply.find(' ');
    if (blank == std::string_view::npos) return 0;
    std::int64_t count = 0;
    for (std::size_t i = blank + 1; i < statReply.size(); ++i) {
        const char c = statReply[i];
        if (c < '0' || c > '9') break;
        count = count * 10 + (c - '0');
        if (count > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(count);
}

std::vector<std::uint64_t> ParseMessageSizes(std::string_view listReply, std::int32_t count) {
    std::vector<std::uint64_t> sizes(static_cast<std::size_t>(std::max(count, 0)) + 1, 0);
    std::size_t at = listReply.find("\r\n");  // past the status line
    while (at != std::string_view::npos) {
        at += 2;
        const std::size_t end = listReply.find("\r\n", at);
        const std::string_view line = listReply.substr(at, end == std::string_view::npos ? end : end - at);
        at = end;
        std::uint64_t numbers[2] = {0, 0};
        std::size_t i = 0;
        bool wellFormed = true;
        for (std::uint64_t& number : numbers) {
            const std::size_t first = i;
            for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && number < (1ull << 40); ++i) {
                number = number * 10 + static_cast<std::uint64_t>(line[i] - '0');
            }
            wellFormed = wellFormed && i > first;
            if (i < line.size() && line[i] == ' ') ++i;
        }
        if (wellFormed && numbers[0] >= 1 && numbers[0] < sizes.size()) sizes[numbers[0]] = numbers[1];
    }
    return sizes;
}

std::vector<std::string> ParseUniqueIds(std::string_view uidlReply, std::int32_t count) {
    constexpr std::size_t kLongestId = 70;
    std::vector<std::string> ids(static_cast<std::size_t>(std::max(count, 0)) + 1);
    std::vector<bool> doubtful(ids.size(), false);
    std::unordered_map<std::string_view, std::size_t> owners;  // an id → the first message that gave it
    std::size_t at = uidlReply.find("\r\n");  // past the status line
    while (at != std::string_view::npos) {
        at += 2;
        const std::size_t end = uidlReply.find("\r\n", at);
        const std::string_view line = uidlReply.substr(at, end == std::string_view::npos ? end : end - at);
        at = end;
        std::size_t i = 0;
        std::uint64_t number = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && number < (1ull << 40); ++i) {
            number = number * 10 + static_cast<std::uint64_t>(line[i] - '0');
        }
        if (i == 0 || i >= line.size() || line[i] != ' ' || number < 1 || number >= ids.size()) continue;
        const std::string_view id = line.substr(i + 1);
        const bool printable = std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
        if (id.empty() || id.size() > kLongestId || !printable) continue;
        const auto n = static_cast<std::size_t>(number);
        if (!ids[n].empty() || doubtful[n]) {
            doubtful[n] = true;
            continue;
        }
        const auto [owner, fresh] = owners.emplace(id, n);
        if (!fresh) {
            doubtful[n] = true;
            doubtful[owner->second] = true;
            continue;
        }
        ids[n] = std::string(id);
    }
    for (std::size_t n = 0; n < ids.size(); ++n) {
        if (doubtful[n]) ids[n].clear();
    }
    return ids;
}

}  // namespace zendrel

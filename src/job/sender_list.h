#pragma once
// The sender white and black lists as the run reads them: entry by entry at the moment of each check, so the window
// can hand over its list controls and the command line its loaded settings.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

class SenderList {
public:
    virtual ~SenderList() = default;
    virtual std::size_t Count() const = 0;
    virtual std::string Entry(std::size_t index) const = 0;
};

// A list that does not change while runs read it.
class FixedSenderList : public SenderList {
public:
    FixedSenderList() = default;
    explicit FixedSenderList(std::vector<std::string> entries) : entries_(std::move(entries)) {}
    std::size_t Count() const override { return entries_.size(); }
    std::string Entry(std::size_t index) const override { return index < entries_.size() ? entries_[index] : ""; }

private:
    std::vector<std::string> entries_;
};

// Whether a list entry names the sender of a From value: either one, lower-cased, contains the other. So an entry
// 'alice@example.org' matches 'Alice <alice@example.org>', and an entry that holds a whole From line matches the bare
// address. An empty value or entry never matches.
bool SenderMatches(std::string_view from, std::string_view entry);

}  // namespace zendrel

#include "job/handled_message_ids.h"

#include <iterator>

namespace zendrel {

void HandledMessageIds::ResetMarks() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : ids_) entry.second = false;
}

bool HandledMessageIds::MarkIfKnown(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ids_.find(id);
    if (found == ids_.end()) return false;
    found->second = true;
    return true;
}

void HandledMessageIds::Add(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_[id] = true;
}

void HandledMessageIds::Remove(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.erase(id);
}

void HandledMessageIds::PruneUnmarked() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(ids_, [](const auto& entry) { return !entry.second; });
}

void HandledMessageIds::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.clear();
}

std::size_t HandledMessageIds::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_.size();
}

bool HandledMessageIds::Contains(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_.count(id) != 0;
}

}  // namespace zendrel

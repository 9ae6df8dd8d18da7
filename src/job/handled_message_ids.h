#pragma once
// The Message-IDs that runs of this process have examined already, so that a mail left on the server is examined
// once per process lifetime. Each carries a mark: seen in the current run or not.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zendrel {

class HandledMessageIds {
public:
    // A run starts: nothing is seen in it yet.
    void ResetMarks();
    // Whether `id` was examined before; if so it is marked as seen in this run.
    bool MarkIfKnown(const std::string& id);
    // Records `id` as examined, seen in this run.
    void Add(const std::string& id);
    // Forgets `id`, so the next run examines that mail again.
    void Remove(const std::string& id);
    // Forgets every id the current run has not seen.
    void PruneUnmarked();
    void Clear();
    std::size_t Size() const;
    bool Contains(const std::string& id) const;

private:
    // The run's thread and a settings load on the window's thread both reach the set.
    mutable std::mutex mutex_;
    std::unordered_map<std::string, bool> ids_;  // id (exact bytes) → seen in the current run
};

}  // namespace zendrel

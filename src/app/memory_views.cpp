#include "app/memory_views.h"

#include <chrono>
#include <thread>

namespace zendrel {
namespace {

constexpr std::chrono::milliseconds kScheduleTimer(500);
constexpr int kLogPollEvery = 3;  // schedule ticks: 1500 ms
constexpr std::chrono::milliseconds kStopCheck(50);

bool ValidIndex(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

}  // namespace

void MemoryMainView::Create() {
    controls_ = {};
    status_ = {};
    menu_ = {};
    title_.clear();
    windowShown_ = false;
    windowEnabled_ = true;
    trayTooltip_.reset();
}

void MemoryMainView::AddComboItem(MainControl combo, const std::string& text, std::int32_t data) {
    At(combo).items.emplace_back(text, data);
}

int MemoryMainView::ComboItemCount(MainControl combo) const { return static_cast<int>(At(combo).items.size()); }

std::int32_t MemoryMainView::ComboItemData(MainControl combo, int index) const {
    const auto& items = At(combo).items;
    return ValidIndex(index, items.size()) ? items[static_cast<std::size_t>(index)].second : 0;
}

void MemoryMainView::SetComboItemText(MainControl combo, int index, const std::string& text) {
    auto& items = At(combo).items;
    if (ValidIndex(index, items.size())) items[static_cast<std::size_t>(index)].first = text;
}

std::string MemoryMainView::ComboItemText(MainControl combo, int index) const {
    const auto& items = At(combo).items;
    return ValidIndex(index, items.size()) ? items[static_cast<std::size_t>(index)].first : "";
}

void MemoryMainView::SelectComboItem(MainControl combo, std::optional<int> index) {
    Control& control = At(combo);
    control.selection = index && ValidIndex(*index, control.items.size()) ? index : std::nullopt;
}

void MemoryAdvancedView::Create() {
    controls_ = {};
    title_.clear();
    shown_ = false;
    SetEnabled(AdvancedControl::kAllowedDeleteButton, false);
    SetEnabled(AdvancedControl::kBlockedDeleteButton, false);
}

void MemoryOAuthSettingsView::Create() {
    controls_ = {};
    title_.clear();
    shown_ = false;
}

void MemoryAdvancedView::SetChecked(AdvancedControl control, bool checked) {
    At(control).checked = checked;
    // The two radio buttons are one choice.
    if (checked && control == AdvancedControl::kKeepBothRadio) At(AdvancedControl::kReplaceRadio).checked = false;
    if (checked && control == AdvancedControl::kReplaceRadio) At(AdvancedControl::kKeepBothRadio).checked = false;
}

std::string MemoryAdvancedView::ListEntry(AdvancedControl list, int index) const {
    const auto& entries = At(list).entries;
    return ValidIndex(index, entries.size()) ? entries[static_cast<std::size_t>(index)] : "";
}

void MemoryAdvancedView::RemoveListEntry(AdvancedControl list, int index) {
    Control& control = At(list);
    if (!ValidIndex(index, control.entries.size())) return;
    control.entries.erase(control.entries.begin() + index);
    control.selection.reset();
}

void MemoryAdvancedView::ClearList(AdvancedControl list) {
    At(list).entries.clear();
    At(list).selection.reset();
}

void HeadlessMainView::RunEventLoop(MainEvents& events) {
    for (int tick = 0; !ended_; ++tick) {
        events.OnScheduleTimer();
        if (tick % kLogPollEvery == kLogPollEvery - 1) events.OnLogPollTimer();
        for (auto waited = std::chrono::milliseconds(0); waited < kScheduleTimer && !ended_; waited += kStopCheck) {
            if (stopRequested_ && stopRequested_()) {
                events.OnQuit();
                break;
            }
            std::this_thread::sleep_for(kStopCheck);
        }
    }
}

}  // namespace zendrel

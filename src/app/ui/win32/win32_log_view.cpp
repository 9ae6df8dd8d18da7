#include "app/ui/win32/win32_log_view.h"

#include <algorithm>

#include "app/ui/win32/win32_text.h"

namespace zendrel::win32 {

void Win32LogView::Attach(HWND window, HWND edit) {
    {
        const std::lock_guard lock(mutex_);
        window_ = window;
        edit_ = edit;
        windowThread_ = GetCurrentThreadId();
        // Without this an edit holds 32,767 characters and then refuses every further row.
        SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
        posted_ = false;
    }
    TakePendingRows();
}

void Win32LogView::AppendRow(const std::string& row) {
    const std::lock_guard lock(mutex_);
    rows_.push_back(row);
    pending_.push_back(row);
    if (window_ == nullptr || posted_) return;
    posted_ = PostMessageW(window_, kRowsPendingMessage, 0, 0) != 0;
}

bool Win32LogView::HasRow(const std::string& row) const {
    const std::lock_guard lock(mutex_);
    return std::find(rows_.begin(), rows_.end(), row) != rows_.end();
}

void Win32LogView::TakePendingRows() {
    std::vector<std::string> rows;
    {
        const std::lock_guard lock(mutex_);
        posted_ = false;
        if (edit_ == nullptr) return;
        rows.assign(pending_.begin(), pending_.end());
        pending_.clear();
    }
    ShowRows(rows);
}

void Win32LogView::ShowRows(const std::vector<std::string>& rows) {
    if (rows.empty()) return;
    std::string text;
    const bool first = GetWindowTextLengthW(edit_) == 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!first || i > 0) text += "\r\n";
        text += rows[i];
    }
    // Appended at the end, which also scrolls the view there.
    const int end = GetWindowTextLengthW(edit_);
    SendMessageW(edit_, EM_SETSEL, end, end);
    SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WideText(text).c_str()));
    SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void Win32LogView::Clear() {
    {
        const std::lock_guard lock(mutex_);
        rows_.clear();
        pending_.clear();
    }
    if (edit_ != nullptr) SetWindowTextW(edit_, L"");
}

}  // namespace zendrel::win32

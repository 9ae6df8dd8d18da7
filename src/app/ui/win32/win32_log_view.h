#pragma once
// The activity log's rows in a read-only multi-line edit without a length limit that wraps its lines. Rows from the
// run's thread are queued and posted to the window's thread, which alone touches the control: a run never waits for
// the window, which may itself be waiting for the run to end.

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "job/activity_log.h"

namespace zendrel::win32 {

class Win32LogView final : public LogView {
public:
    // The message the view posts to `window` when rows wait; the window then calls TakePendingRows.
    static constexpr UINT kRowsPendingMessage = WM_APP + 2;

    // Takes the edit control and the window that receives the posted message; rows that arrived earlier wait.
    void Attach(HWND window, HWND edit);

    void AppendRow(const std::string& row) override;
    bool HasRow(const std::string& row) const override;

    // On the window's thread: shows the rows that were queued.
    void TakePendingRows();
    void Clear();

private:
    void ShowRows(const std::vector<std::string>& rows);

    mutable std::mutex mutex_;
    std::vector<std::string> rows_;     // every row shown or queued, in order
    std::deque<std::string> pending_;   // queued for the control
    bool posted_ = false;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    DWORD windowThread_ = 0;
};

}  // namespace zendrel::win32

#include "platform/known_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

namespace zendrel {
namespace {

// An item ID list the shell allocated; the shell's allocator takes it back.
struct ItemIdListDeleter {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListDeleter>;

}  // namespace

std::filesystem::path SpecialFolderLocation(SpecialFolder folder) {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, static_cast<int>(folder), &raw)) || raw == nullptr) return {};
    const ItemIdList list(raw);
    // The wide form: the folder may hold characters outside the system's ANSI code page, and Windows-1252 (the
    // program's text) is decided by the caller, not by that code page.
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(list.get(), buffer) || buffer[0] == L'\0') return {};
    return std::filesystem::path(buffer) / L"";
}

}  // namespace zendrel

#pragma once
// Owners of Windows kernel handles (files, threads, events, processes) and of directory searches.

#include <windows.h>

#include "common/unique_resource.h"

namespace zendrel {

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return nullptr; }
    // Null and INVALID_HANDLE_VALUE are the two ways Windows functions fail; both mean none.
    static bool IsNone(Handle handle) noexcept { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) noexcept { return CloseHandle(handle) != 0; }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// FindFirstFile's search handle, which FindClose ends.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsNone(Handle handle) noexcept { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) noexcept { return FindClose(handle) != 0; }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

}  // namespace zendrel

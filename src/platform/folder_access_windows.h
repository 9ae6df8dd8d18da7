#pragma once
// A folder's access list on Windows: made the program's own, or refused to this user.

#include <windows.h>

#include <cstddef>
#include <filesystem>
#include <vector>

#include "common/unique_resource.h"

namespace zendrel {

// Memory that the security functions hand out (descriptors, lists), which LocalFree takes back.
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle memory) noexcept { return LocalFree(memory) == nullptr; }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// The data folder's own access list made from its list now (`current`, may be null), its `owner` and the calling
// user (`caller`, may be null): the entries set on the folder itself, then full control for the system and the
// administrators and modify rights for the owner and the caller, all passed on to what is below. Empty when it cannot
// be built.
std::vector<std::byte> PrivateAccessList(PACL current, PSID owner, PSID caller);

// See SystemInfo: ProtectDataFolder, FolderRefused, RunsElevated. The first leaves the system's error code set when it
// fails.
bool ProtectFolderAccess(const std::filesystem::path& folder);
bool FolderAccessRefused(const std::filesystem::path& folder);
bool ProcessRunsElevated();

}  // namespace zendrel

#include <windows.h>
#include <aclapi.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/folder_access_windows.h"
#include "platform/known_folders.h"
#include "platform/system_info.h"

namespace zendrel {
namespace {

// UTF-16 as the program's Windows-1252 text; characters that code page lacks become "?".
std::string ProgramText(const wchar_t* text, int length) {
    if (length <= 0) return "";
    const int size = WideCharToMultiByte(1252, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return "";
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(1252, 0, text, length, converted.data(), size, nullptr, nullptr);
    return converted;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

class WindowsSystemInfo final : public SystemInfo {
public:
    std::uint32_t LastSystemError() const override { return GetLastError(); }

    std::string SystemErrorText(std::uint32_t code) const override {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        if (length == 0 || buffer == nullptr) return "";
        std::string text = ProgramText(buffer, static_cast<int>(length));
        LocalFree(buffer);
        // The system's texts end in CR LF.
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    std::string CurrentUserName() const override {
        wchar_t name[256 + 1] = {};
        DWORD size = 257;
        if (!GetUserNameW(name, &size) || size == 0) return "";
        return ProgramText(name, static_cast<int>(size - 1));
    }

    std::string ProgramPath() const override {
        std::vector<wchar_t> buffer(MAX_PATH);
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return "";
            if (length < buffer.size()) return ProgramText(buffer.data(), static_cast<int>(length));
            buffer.resize(buffer.size() * 2);
        }
    }

    std::string GetSpecialFolderPath(SpecialFolder folder) const override {
        return zendrel::GetSpecialFolderPath(folder);
    }

    // Modify rights, inherited by files and folders: without them the files that the service (the local system
    // account) makes in the all-users folder would be read-only to the user's window.
    std::string PreferredLanguage() const override {
        return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? "german" : "english";
    }

    bool GrantFolderModify(const std::filesystem::path& folder, const std::string& trustee) override {
        PACL oldList = nullptr;
        UniqueLocalMemory descriptor;
        DWORD error = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, &oldList, nullptr,
                                            reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.out()));
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return false;
        }
        // A folder with an access list of its own keeps it so: the all-users folder's entries must not come back.
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        const bool ownList =
            GetSecurityDescriptorControl(descriptor.get(), &control, &revision) && (control & SE_DACL_PROTECTED) != 0;
        std::wstring name = Wide(trustee);
        EXPLICIT_ACCESSW entry{};
        BuildExplicitAccessWithNameW(&entry, name.data(), FILE_GENERIC_READ | FILE_GENERIC_WRITE |
                                     FILE_GENERIC_EXECUTE | DELETE, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
        UniqueLocalMemory newList;
        error = SetEntriesInAclW(1, &entry, oldList, reinterpret_cast<PACL*>(newList.out()));
        if (error == ERROR_SUCCESS) {
            std::wstring path = folder.wstring();
            error = SetNamedSecurityInfoW(
                path.data(), SE_FILE_OBJECT,
                DACL_SECURITY_INFORMATION | (ownList ? PROTECTED_DACL_SECURITY_INFORMATION : 0), nullptr, nullptr,
                static_cast<PACL>(newList.get()), nullptr);
        }
        SetLastError(error);
        return error == ERROR_SUCCESS;
    }

    bool ProtectDataFolder(const std::filesystem::path& folder) override { return ProtectFolderAccess(folder); }
    bool FolderRefused(const std::filesystem::path& folder) const override { return FolderAccessRefused(folder); }
    bool RunsElevated() const override { return ProcessRunsElevated(); }
};

}  // namespace

std::unique_ptr<SystemInfo> CreateSystemInfo() { return std::make_unique<WindowsSystemInfo>(); }

}  // namespace zendrel

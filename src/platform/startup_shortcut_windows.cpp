#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <string>
#include <vector>

#include "common/unique_handle_windows.h"
#include "platform/com_pointer.h"
#include "platform/known_folders.h"
#include "platform/startup_shortcut.h"
#include "platform/system_info.h"

namespace zendrel {
namespace {

// The program's text is Windows-1252 whatever the system's ANSI code page, so the links are written and read through
// the wide interfaces.
constexpr UINT kProgramCodePage = 1252;
constexpr int kTargetBufferLength = 1024;

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(kProgramCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(kProgramCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string ProgramText(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(kProgramCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kProgramCodePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

ComPointer<IShellLinkW> NewShellLink() {
    ComPointer<IShellLinkW> link;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, ComOut(link));
    return link;
}

class WindowsStartupShortcuts final : public StartupShortcuts {
public:
    bool Available() const override { return true; }

    int CreateShortcut(const std::string& target, const std::string& linkPath, const std::string& arguments,
                       const std::string& description, const std::string& workingDirectory) override {
        const ComScope com;
        const ComPointer<IShellLinkW> link = NewShellLink();
        if (!link) return 0;
        const std::wstring wideTarget = Wide(target);
        link->SetPath(wideTarget.c_str());
        link->SetArguments(Wide(arguments).c_str());
        link->SetWorkingDirectory(Wide(workingDirectory).c_str());
        link->SetDescription(Wide(description).c_str());
        link->SetShowCmd(SW_SHOWNORMAL);
        link->SetHotkey(0);
        link->SetIconLocation(wideTarget.c_str(), 0);
        const ComPointer<IPersistFile> file = QueryComInterface<IPersistFile>(link, IID_IPersistFile);
        if (!file) return 0;
        return file->Save(Wide(linkPath).c_str(), TRUE) == S_OK ? 1 : 0;
    }

    std::string GetShortcutTarget(const std::string& linkPath) override {
        const ComScope com;
        const ComPointer<IShellLinkW> link = NewShellLink();
        const ComPointer<IPersistFile> file = QueryComInterface<IPersistFile>(link, IID_IPersistFile);
        if (!file || FAILED(file->Load(Wide(linkPath).c_str(), STGM_READ))) return "";
        std::vector<wchar_t> target(kTargetBufferLength, L'\0');
        if (link->GetPath(target.data(), kTargetBufferLength, nullptr, 0) != S_OK) return "";
        return ProgramText(target.data());
    }

    std::string FindStartupShortcut() override {
        const std::string program = CreateSystemInfo()->ProgramPath();
        if (program.empty()) return "";
        for (const SpecialFolder place : {SpecialFolder::kCommonStartup, SpecialFolder::kStartup}) {
            const std::string folder = GetSpecialFolderPath(place);
            if (folder.empty()) continue;
            const std::string found = FindLinkTo(program, folder);
            if (!found.empty()) return found;
        }
        return "";
    }

    bool DeleteShortcut(const std::string& linkPath) override { return DeleteFileW(Wide(linkPath).c_str()) != 0; }

private:
    // A link file in `folder` whose target is exactly `program`, letter case included.
    std::string FindLinkTo(const std::string& program, const std::string& folder) {
        WIN32_FIND_DATAW entry{};
        const UniqueFindHandle listing(FindFirstFileW(Wide(folder + "*.lnk").c_str(), &entry));
        if (!listing) return "";
        std::string found;
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            const std::string path = folder + ProgramText(entry.cFileName);
            if (GetShortcutTarget(path) == program) found = path;
        } while (found.empty() && FindNextFileW(listing.get(), &entry));
        return found;
    }
};

}  // namespace

std::unique_ptr<StartupShortcuts> CreateStartupShortcuts() { return std::make_unique<WindowsStartupShortcuts>(); }

}  // namespace zendrel

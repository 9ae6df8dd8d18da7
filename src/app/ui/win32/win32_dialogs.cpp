#include "app/ui/win32/win32_dialogs.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "app/ui/win32/resource_ids.h"
#include "app/ui/win32/win32_text.h"

namespace zendrel::win32 {
namespace {

struct TextInput {
    const std::string* title;
    const std::string* prompt;
    const std::string* defaultText;
    std::string answer;
};

INT_PTR CALLBACK TextInputProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* input = reinterpret_cast<TextInput*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetWindowTextW(dialog, WideText(*input->title).c_str());
            SetDlgItemTextW(dialog, ZENDREL_TEXT_INPUT_PROMPT, WideText(*input->prompt).c_str());
            SetDlgItemTextW(dialog, ZENDREL_TEXT_INPUT_EDIT, WideText(*input->defaultText).c_str());
            return TRUE;  // the focus goes to the edit, the first control that takes it
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                auto* input = reinterpret_cast<TextInput*>(GetWindowLongPtrW(dialog, DWLP_USER));
                input->answer = WindowText(GetDlgItem(dialog, ZENDREL_TEXT_INPUT_EDIT));
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {  // Escape or the close box
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

int CALLBACK FolderChooserStarted(HWND chooser, UINT message, LPARAM, LPARAM initialFolder) {
    if (message == BFFM_INITIALIZED && initialFolder != 0) {
        SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, initialFolder);
    }
    return 0;
}

}  // namespace

void ShowMessageBox(HWND owner, const std::string& title, const std::string& text) {
    MessageBoxW(owner, WideText(text).c_str(), WideText(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

bool AskYesNoBox(HWND owner, const std::string& title, const std::string& text) {
    return MessageBoxW(owner, WideText(text).c_str(), WideText(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::string AskTextBox(HWND owner, const std::string& title, const std::string& prompt,
                       const std::string& defaultText) {
    TextInput input{&title, &prompt, &defaultText, {}};
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZENDREL_DIALOG_TEXT_INPUT),
                                           owner, TextInputProcedure, reinterpret_cast<LPARAM>(&input));
    return result == IDOK ? input.answer : "";
}

std::string ChooseFolderBox(HWND owner, const std::string& title, const std::string& initialFolder) {
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring wideTitle = WideText(title);
    const std::wstring wideInitial = WideText(initialFolder);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = wideTitle.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = FolderChooserStarted;
    browse.lParam = initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(wideInitial.c_str());
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderW(&browse));
    if (!chosen) return "";
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path) || path[0] == L'\0') return "";
    // A folder whose name Windows-1252 cannot hold would come back with "?" in it: no folder of the file system.
    std::string folder = NarrowText(path);
    if (WideText(folder) != path) return "";
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

void OpenInBrowser(HWND owner, const std::string& address) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.hwnd = owner;
    const std::wstring wideAddress = WideText(address);
    execute.lpVerb = L"open";
    execute.lpFile = wideAddress.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&execute);
}

}  // namespace zendrel::win32

#include "app/ui/win32/win32_dialogs.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "app/ui/win32/resource_ids.h"

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
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            SetWindowTextA(dialog, input->title->c_str());
            SetDlgItemTextA(dialog, ZENDREL_TEXT_INPUT_PROMPT, input->prompt->c_str());
            SetDlgItemTextA(dialog, ZENDREL_TEXT_INPUT_EDIT, input->defaultText->c_str());
            return TRUE;  // the focus goes to the edit, the first control that takes it
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                auto* input = reinterpret_cast<TextInput*>(GetWindowLongPtrA(dialog, DWLP_USER));
                const HWND edit = GetDlgItem(dialog, ZENDREL_TEXT_INPUT_EDIT);
                std::string text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
                text.resize(static_cast<std::size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
                input->answer = text;
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
        SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, initialFolder);
    }
    return 0;
}

}  // namespace

void ShowMessageBox(HWND owner, const std::string& title, const std::string& text) {
    MessageBoxA(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool AskYesNoBox(HWND owner, const std::string& title, const std::string& text) {
    return MessageBoxA(owner, text.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::string AskTextBox(HWND owner, const std::string& title, const std::string& prompt,
                       const std::string& defaultText) {
    TextInput input{&title, &prompt, &defaultText, {}};
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ZENDREL_DIALOG_TEXT_INPUT),
                                           owner, TextInputProcedure, reinterpret_cast<LPARAM>(&input));
    return result == IDOK ? input.answer : "";
}

std::string ChooseFolderBox(HWND owner, const std::string& title, const std::string& initialFolder) {
    char displayName[MAX_PATH] = {};
    BROWSEINFOA browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = FolderChooserStarted;
    browse.lParam = initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(initialFolder.c_str());
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderA(&browse));
    if (!chosen) return "";
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(chosen.get(), path) || path[0] == '\0') return "";
    std::string folder = path;
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

void OpenInBrowser(HWND owner, const std::string& address) {
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof(execute);
    execute.hwnd = owner;
    execute.lpVerb = "open";
    execute.lpFile = address.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&execute);
}

}  // namespace zendrel::win32

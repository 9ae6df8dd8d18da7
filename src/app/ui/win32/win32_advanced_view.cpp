#include "app/ui/win32/win32_advanced_view.h"

#include <commctrl.h>

#include <iterator>
#include <utility>

#include "app/ui/win32/win32_dpi.h"
#include "app/ui/win32/win32_main_view.h"
#include "app/ui/win32/win32_text.h"

namespace zendrel::win32 {
namespace {

constexpr const wchar_t* kClassName = L"ZendrelAdvancedWindow";
// The width holds the longest German text, the inline box's, on one line.
constexpr int kClientWidth = 600;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kFirstControlId = 100;

constexpr int IdOf(AdvancedControl control) { return kFirstControlId + static_cast<int>(control); }

struct Placement {
    AdvancedControl control;
    const wchar_t* windowClass;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kList = WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
// The radio buttons form one group, from the first (WS_GROUP) to the next control that opens a group.
constexpr DWORD kFirstRadio = WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr int kLeft = 12, kFullWidth = kClientWidth - 2 * kLeft, kHalfWidth = (kFullWidth - 13) / 2;
constexpr int kRight = kLeft + kFullWidth - kHalfWidth, kButtonWidth = 112;
// The rows below the extensions: what a name that exists gets, the subfolders, the inline files, whether examined
// mails are remembered; then the lists. A row added below the remembering box moves the lists and the window's foot down by kRowStep.
constexpr int kRowStep = 32;
// The choice stands where the right list begins.
constexpr int kExistingTop = 114, kRadioWidth = 125;
constexpr int kKeepBothLeft = kRight, kReplaceLeft = kKeepBothLeft + kRadioWidth + 5;
constexpr int kSubFolderTop = kExistingTop + kRowStep;
constexpr int kSaveInlineTop = kSubFolderTop + 18 + kRowStep;
constexpr int kRememberMailsTop = kSaveInlineTop + kRowStep;
constexpr int kListsTop = kRememberMailsTop + kRowStep;
constexpr int kListHeight = 150;
constexpr int kButtonsTop = kListsTop + 18 + kListHeight + 8;
// The window's foot: the Close button at the bottom right.
constexpr int kFootTop = kButtonsTop + 27 + 10;
constexpr int kClientHeight = kFootTop + 27 + 12;

// In creation order, which is also the order of the Tab key.
constexpr Placement kPlacements[] = {
    {AdvancedControl::kSearchStringLabel, L"STATIC", SS_LEFT, kLeft, 12, kFullWidth, 16},
    {AdvancedControl::kSearchStringEdit, L"EDIT", kEdit, kLeft, 30, kFullWidth, 22},
    {AdvancedControl::kExtensionsLabel, L"STATIC", SS_LEFT, kLeft, 62, kFullWidth, 16},
    {AdvancedControl::kExtensionsEdit, L"EDIT", kEdit, kLeft, 80, kFullWidth, 22},
    {AdvancedControl::kExistingFilesLabel, L"STATIC", SS_LEFT, kLeft, kExistingTop + 3, kKeepBothLeft - kLeft - 5, 16},
    {AdvancedControl::kKeepBothRadio, L"BUTTON", kFirstRadio, kKeepBothLeft, kExistingTop, kRadioWidth, 22},
    {AdvancedControl::kReplaceRadio, L"BUTTON", kRadio, kReplaceLeft, kExistingTop, kLeft + kFullWidth - kReplaceLeft,
     22},
    {AdvancedControl::kSubFolderLabel, L"STATIC", SS_LEFT | WS_GROUP, kLeft, kSubFolderTop, kFullWidth, 16},
    {AdvancedControl::kSubFolderEdit, L"EDIT", kEdit, kLeft, kSubFolderTop + 18, kFullWidth, 22},
    {AdvancedControl::kSaveInlineCheck, L"BUTTON", kCheck, kLeft, kSaveInlineTop, kFullWidth, 22},
    {AdvancedControl::kRememberMailsCheck, L"BUTTON", kCheck, kLeft, kRememberMailsTop, kFullWidth, 22},
    {AdvancedControl::kAllowedLabel, L"STATIC", SS_LEFT, kLeft, kListsTop, kHalfWidth, 16},
    {AdvancedControl::kAllowedList, L"LISTBOX", kList, kLeft, kListsTop + 18, kHalfWidth, kListHeight},
    {AdvancedControl::kAllowedAddButton, L"BUTTON", kButton, kLeft, kButtonsTop, kButtonWidth, 27},
    {AdvancedControl::kAllowedDeleteButton, L"BUTTON", kButton, kLeft + kHalfWidth - kButtonWidth, kButtonsTop,
     kButtonWidth, 27},
    {AdvancedControl::kBlockedLabel, L"STATIC", SS_LEFT, kRight, kListsTop, kHalfWidth, 16},
    {AdvancedControl::kBlockedList, L"LISTBOX", kList, kRight, kListsTop + 18, kHalfWidth, kListHeight},
    {AdvancedControl::kBlockedAddButton, L"BUTTON", kButton, kRight, kButtonsTop, kButtonWidth, 27},
    {AdvancedControl::kBlockedDeleteButton, L"BUTTON", kButton, kRight + kHalfWidth - kButtonWidth, kButtonsTop,
     kButtonWidth, 27},
    {AdvancedControl::kCloseButton, L"BUTTON", kButton, kLeft + kFullWidth - kButtonWidth, kFootTop, kButtonWidth, 27},
};
static_assert(std::size(kPlacements) == kAdvancedControlCount);

}  // namespace

Win32AdvancedView::Win32AdvancedView(Win32MainView& main) : main_(main) { main_.SetAdvancedView(this); }

Win32AdvancedView::~Win32AdvancedView() {
    main_.SetAdvancedView(nullptr);
    tooltip_.reset();
    window_.reset();
}

void Win32AdvancedView::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    tooltip_.reset();
    window_.reset();
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.lpfnWndProc = WindowProcedure;
    description.hInstance = instance;
    description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    description.lpszClassName = kClassName;
    windowClass_.Register(description);

    window_.reset(CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, L"", kWindowStyle, 0, 0, 0, 0, main_.Window(),
                                  nullptr, instance, this));
    if (!window_) return;
    for (const Placement& place : kPlacements) {
        controls_[static_cast<std::size_t>(place.control)] =
            CreateWindowExW(0, place.windowClass, L"", WS_CHILD | WS_VISIBLE | place.style, 0, 0, 0, 0, window_.get(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(place.control))), instance, nullptr);
    }
    dpi_ = DpiOf(window_.get());
    LayOut();
    // Centred on the main window, which owns it.
    CentreOn(window_.get(), main_.Window());
    SetEnabled(AdvancedControl::kAllowedDeleteButton, false);
    SetEnabled(AdvancedControl::kBlockedDeleteButton, false);
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(), nullptr, instance,
                                   nullptr));
    // Long tips wrap instead of running across the screen.
    if (tooltip_) SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, Scaled(kClientWidth, dpi_));
    tipped_ = {};
}

void Win32AdvancedView::LayOut() {
    // The font the controls have now goes once they have the new one.
    const UniqueFont previous = std::exchange(font_, MessageFontAt(dpi_));
    for (const Placement& place : kPlacements) {
        PlaceScaled(Control(place.control), place.x, place.y, place.width, place.height, dpi_, font_.get());
    }
    SizeClientScaled(window_.get(), kClientWidth, kClientHeight, dpi_, kWindowStyle, false, WS_EX_DLGMODALFRAME);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Win32AdvancedView::SetTitle(const std::string& title) {
    SetWindowTextW(window_.get(), WideText(title).c_str());
}

void Win32AdvancedView::Show() {
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
}

void Win32AdvancedView::Hide() { ShowWindow(window_.get(), SW_HIDE); }

void Win32AdvancedView::SetText(AdvancedControl control, const std::string& text) {
    settingText_ = true;
    SetWindowTextW(Control(control), WideText(text).c_str());
    settingText_ = false;
}

std::string Win32AdvancedView::Text(AdvancedControl control) const { return WindowText(Control(control)); }

void Win32AdvancedView::SetEnabled(AdvancedControl control, bool enabled) { EnableWindow(Control(control), enabled); }

void Win32AdvancedView::SetChecked(AdvancedControl control, bool checked) {
    SendMessageW(Control(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // Only a click clears the other radio button of the group by itself.
    if (checked && control == AdvancedControl::kKeepBothRadio) SetChecked(AdvancedControl::kReplaceRadio, false);
    if (checked && control == AdvancedControl::kReplaceRadio) SetChecked(AdvancedControl::kKeepBothRadio, false);
}

bool Win32AdvancedView::Checked(AdvancedControl control) const {
    return SendMessageW(Control(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32AdvancedView::SetTooltip(AdvancedControl control, const std::string& tip) {
    if (!tooltip_) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_.get();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(control));
    std::wstring wide = WideText(tip);
    tool.lpszText = wide.data();
    bool& added = tipped_[static_cast<std::size_t>(control)];
    SendMessageW(tooltip_.get(), added ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    added = true;
}

int Win32AdvancedView::ListCount(AdvancedControl list) const {
    return static_cast<int>(SendMessageW(Control(list), LB_GETCOUNT, 0, 0));
}

std::string Win32AdvancedView::ListEntry(AdvancedControl list, int index) const {
    const LRESULT length = SendMessageW(Control(list), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return "";
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(Control(list), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return NarrowText(entry);
}

std::optional<int> Win32AdvancedView::ListSelection(AdvancedControl list) const {
    const LRESULT index = SendMessageW(Control(list), LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return std::nullopt;
    return static_cast<int>(index);
}

void Win32AdvancedView::AppendListEntry(AdvancedControl list, const std::string& entry) {
    SendMessageW(Control(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(entry).c_str()));
}

void Win32AdvancedView::RemoveListEntry(AdvancedControl list, int index) {
    SendMessageW(Control(list), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void Win32AdvancedView::ClearList(AdvancedControl list) { SendMessageW(Control(list), LB_RESETCONTENT, 0, 0); }

LRESULT CALLBACK Win32AdvancedView::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* view = reinterpret_cast<Win32AdvancedView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr || view->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
    return view->Handle(message, wParam, lParam);
}

LRESULT Win32AdvancedView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            if (main_.Events() != nullptr) main_.Events()->OnAdvancedClosed();
            return 0;
        case WM_DPICHANGED: {
            dpi_ = FollowDpiChange(window_.get(), wParam, lParam);
            LayOut();
            return 0;
        }
        default:
            return DefWindowProcW(window_.get(), message, wParam, lParam);
    }
}

void Win32AdvancedView::OnCommand(int id, int notification) {
    MainEvents* events = main_.Events();
    if (events == nullptr) return;
    if (id == IDCANCEL) {  // Escape closes the window as its close box does
        events->OnAdvancedClosed();
        return;
    }
    if (id < kFirstControlId || id >= kFirstControlId + kAdvancedControlCount) return;
    const auto control = static_cast<AdvancedControl>(id - kFirstControlId);
    switch (control) {
        case AdvancedControl::kSearchStringEdit:
        case AdvancedControl::kExtensionsEdit:
        case AdvancedControl::kSubFolderEdit:
            if (notification == EN_CHANGE && !settingText_) events->OnInputChanged();
            break;
        case AdvancedControl::kAllowedList:
        case AdvancedControl::kBlockedList:
            if (notification == LBN_SELCHANGE || notification == LBN_SELCANCEL) {
                events->OnSenderListClicked(control == AdvancedControl::kAllowedList ? SenderListKind::kAllowed
                                                                                    : SenderListKind::kBlocked);
            }
            break;
        case AdvancedControl::kAllowedAddButton:
            if (notification == BN_CLICKED) events->OnSenderAddButton(SenderListKind::kAllowed);
            break;
        case AdvancedControl::kBlockedAddButton:
            if (notification == BN_CLICKED) events->OnSenderAddButton(SenderListKind::kBlocked);
            break;
        case AdvancedControl::kAllowedDeleteButton:
            if (notification == BN_CLICKED) events->OnSenderDeleteButton(SenderListKind::kAllowed);
            break;
        case AdvancedControl::kBlockedDeleteButton:
            if (notification == BN_CLICKED) events->OnSenderDeleteButton(SenderListKind::kBlocked);
            break;
        case AdvancedControl::kCloseButton:
            if (notification == BN_CLICKED) events->OnAdvancedClosed();
            break;
        default:
            break;
    }
}

}  // namespace zendrel::win32

#include "app/ui/win32/win32_main_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>
#include <utility>

#include "app/ui/win32/resource_ids.h"
#include "app/ui/win32/win32_advanced_view.h"
#include "app/ui/win32/win32_dialogs.h"
#include "app/ui/win32/win32_dpi.h"
#include "app/ui/win32/win32_oauth_settings_view.h"
#include "app/ui/win32/win32_text.h"

namespace zendrel::win32 {
namespace {

constexpr const wchar_t* kClassName = L"ZendrelMainWindow";
constexpr int kClientWidth = 522;
constexpr int kClientHeight = 588;
constexpr int kWindowLeft = 678;
constexpr int kWindowTop = 141;
// No WS_CLIPCHILDREN: the frames are children that draw only their border, so the window paints what lies in them.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kScheduleFieldWidth = 250;

// Child ids: controls by their place in MainControl, then the log, the status bar and the menu items.
constexpr int kFirstControlId = 100;
constexpr int kLogId = 200;
constexpr int kStatusBarId = 201;
constexpr int kColonId = 202;
constexpr int kFirstMenuId = 300;
constexpr UINT_PTR kScheduleTimerId = 1;
constexpr UINT_PTR kLogPollTimerId = 2;
constexpr UINT kScheduleTimerMilliseconds = 500;
constexpr UINT kLogPollTimerMilliseconds = 1500;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr COLORREF kMarkColour = RGB(255, 214, 214);

constexpr int IdOf(MainControl control) { return kFirstControlId + static_cast<int>(control); }
constexpr int IdOf(MenuItem item) { return kFirstMenuId + static_cast<int>(item); }

// Where a control stands in the client area, and how it looks.
struct Placement {
    MainControl control;
    const wchar_t* windowClass;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kDropDown = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr int kLabelX = 22, kLabelWidth = 126, kInputX = 150, kRightLabelX = 348, kRightInputX = 408;
constexpr int kRow1 = 26, kRow2 = 54, kRow3 = 82, kRow4 = 110, kRow5 = 138, kRowHeight = 22, kLabelDrop = 3;
constexpr int kDropDownHeight = 240;
constexpr int kInputWidth = 188, kMinuteX = 457, kTimeWidth = 43;
// The server row holds the security and the port beside the server: the security drop-down begins where the boxes
// below end and the port box lines up with the start minute, each label ending just before its box.
constexpr int kLabelGap = 3, kPairGap = 6;
constexpr int kSecurityX = kInputX + kInputWidth, kSecurityWidth = 84;  // "STARTTLS"
constexpr int kSecurityLabelWidth = 62;                                  // "Sicherheit:"
constexpr int kSecurityLabelX = kSecurityX - kLabelGap - kSecurityLabelWidth;
constexpr int kPortLabelX = kSecurityX + kSecurityWidth + kLabelGap;
// With a provider the sign-in's status stands right of the authentication drop-down and its button where the password
// box stands with a password; both reach the frame's right edge.
constexpr int kRightEdge = 500, kRightWidth = kRightEdge - kRightLabelX;
// Below the settings' boxes: the buttons of the two settings windows, the check boxes, the start button.
constexpr int kButtonsRow = 168, kChecksRow = 198, kFootRow = 257;
// In creation order, which is also the order of the Tab key. The ":" between the hour and the minute stands between
// them and is placed apart.
constexpr Placement kPlacements[] = {
    {MainControl::kPreferencesFrame, L"BUTTON", BS_GROUPBOX, 11, 6, 500, 283},
    {MainControl::kServerLabel, L"STATIC", kLabel, kLabelX, kRow1 + kLabelDrop, kLabelWidth, 16},
    {MainControl::kServerEdit, L"EDIT", kEdit, kInputX, kRow1, kSecurityLabelX - kPairGap - kInputX, kRowHeight},
    {MainControl::kSecurityLabel, L"STATIC", SS_RIGHT, kSecurityLabelX, kRow1 + kLabelDrop, kSecurityLabelWidth, 16},
    {MainControl::kSecurityCombo, L"COMBOBOX", kDropDown, kSecurityX, kRow1, kSecurityWidth, kDropDownHeight},
    {MainControl::kPortLabel, L"STATIC", SS_RIGHT, kPortLabelX, kRow1 + kLabelDrop, kMinuteX - kLabelGap - kPortLabelX,
     16},
    {MainControl::kPortEdit, L"EDIT", kEdit | ES_NUMBER, kMinuteX, kRow1, kTimeWidth, kRowHeight},
    {MainControl::kAuthenticationLabel, L"STATIC", kLabel, kLabelX, kRow2 + kLabelDrop, kLabelWidth, 16},
    {MainControl::kAuthenticationCombo, L"COMBOBOX", kDropDown, kInputX, kRow2, kInputWidth, kDropDownHeight},
    {MainControl::kSignInStatus, L"STATIC", kLabel | SS_ENDELLIPSIS | SS_NOPREFIX, kRightLabelX, kRow2 + kLabelDrop,
     kRightWidth, 16},
    {MainControl::kUserNameLabel, L"STATIC", kLabel, kLabelX, kRow3 + kLabelDrop, kLabelWidth, 16},
    {MainControl::kUserNameEdit, L"EDIT", kEdit, kInputX, kRow3, kInputWidth, kRowHeight},
    {MainControl::kPasswordLabel, L"STATIC", kLabel, kRightLabelX, kRow3 + kLabelDrop, 58, 16},
    {MainControl::kPasswordEdit, L"EDIT", kEdit | ES_PASSWORD, kRightInputX, kRow3, 92, kRowHeight},
    {MainControl::kSignInButton, L"BUTTON", kButton, kRightLabelX, kRow3, kRightWidth, kRowHeight},
    {MainControl::kIntervalLabel, L"STATIC", kLabel, kLabelX, kRow4 + kLabelDrop, kLabelWidth, 16},
    {MainControl::kIntervalCombo, L"COMBOBOX", kDropDown, kInputX, kRow4, kInputWidth, kDropDownHeight},
    {MainControl::kStartTimeLabel, L"STATIC", kLabel, kRightLabelX, kRow4 + kLabelDrop, 58, 16},
    {MainControl::kStartHourCombo, L"COMBOBOX", kDropDown, kRightInputX, kRow4, kTimeWidth, kDropDownHeight},
    {MainControl::kStartMinuteCombo, L"COMBOBOX", kDropDown, kMinuteX, kRow4, kTimeWidth, kDropDownHeight},
    // The folder's label is the longest; it may take two lines.
    {MainControl::kSaveDirLabel, L"STATIC", kLabel, kLabelX, kRow5 - 4, kLabelWidth, 30},
    {MainControl::kSaveDirEdit, L"EDIT", kEdit, kInputX, kRow5, 320, kRowHeight},
    {MainControl::kBrowseButton, L"BUTTON", kButton, 474, kRow5, 26, kRowHeight},
    {MainControl::kAdvancedButton, L"BUTTON", kButton, kLabelX, kButtonsRow, 170, 25},
    {MainControl::kOAuthSettingsButton, L"BUTTON", kButton, kLabelX + 178, kButtonsRow, 170, 25},
    {MainControl::kShortcutCheck, L"BUTTON", kCheck, kLabelX, kChecksRow, 405, 18},
    {MainControl::kServiceCheck, L"BUTTON", kCheck, kLabelX, kChecksRow + 19, 405, 18},
    {MainControl::kDeleteMailsCheck, L"BUTTON", kCheck, kLabelX, kChecksRow + 38, 405, 18},
    {MainControl::kStartStopButton, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 206, kFootRow, 110, 27},
    {MainControl::kDonateButton, L"BUTTON", WS_TABSTOP | BS_BITMAP, 436, kFootRow - 3, 64, 33},
    {MainControl::kLogFrame, L"BUTTON", BS_GROUPBOX, 11, 294, 500, 245},
    {MainControl::kClearLogButton, L"BUTTON", WS_TABSTOP | BS_BITMAP, 483, 310, 20, 20},
};
static_assert(std::size(kPlacements) == kMainControlCount);

// The log fills the log frame below the clear button.
constexpr int kLogX = 20, kLogY = 334, kLogWidth = 483, kLogHeight = 196;

bool IsTextInput(MainControl control) {
    switch (control) {
        case MainControl::kServerEdit:
        case MainControl::kPortEdit:
        case MainControl::kUserNameEdit:
        case MainControl::kPasswordEdit:
        case MainControl::kSaveDirEdit:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TrayIcon::Show(HWND owner, UINT callbackMessage, HICON icon, const std::string& tooltip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    lstrcpynW(data.szTip, WideText(tooltip).c_str(), static_cast<int>(std::size(data.szTip)));
    const bool done = Shell_NotifyIconW(shown_ ? NIM_MODIFY : NIM_ADD, &data) != 0;
    if (done) {
        owner_ = owner;
        shown_ = true;
    }
    return done;
}

void TrayIcon::Remove() {
    if (!shown_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = owner_;
    data.uID = 1;
    Shell_NotifyIconW(NIM_DELETE, &data);
    shown_ = false;
}

Win32MainView::Win32MainView() = default;

Win32MainView::~Win32MainView() {
    tray_.Remove();
    // The window goes before the class it belongs to and the pictures its buttons show.
    tooltip_.reset();
    window_.reset();
}

void Win32MainView::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);
    tray_.Remove();
    tooltip_.reset();
    window_.reset();

    // The class, its icons, the font and the pictures are made once; a window built anew uses them again.
    if (!icon_) {
        icon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ZENDREL_ICON_APP), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
        smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ZENDREL_ICON_APP), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0)));
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = WindowProcedure;
        description.hInstance = instance;
        description.hIcon = icon_.get();
        description.hIconSm = smallIcon_.get();
        description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = kClassName;
        windowClass_.Register(description);
        donateBitmap_.reset(static_cast<HBITMAP>(
            LoadImageW(instance, MAKEINTRESOURCEW(ZENDREL_BITMAP_DONATE), IMAGE_BITMAP, 0, 0, 0)));
        clearLogBitmap_.reset(static_cast<HBITMAP>(
            LoadImageW(instance, MAKEINTRESOURCEW(ZENDREL_BITMAP_CLEAR_LOG), IMAGE_BITMAP, 0, 0, 0)));
    }

    // Sized and filled once the window knows the density of its screen, which the place says.
    const UINT desktopDpi = DpiOf(nullptr);
    window_.reset(CreateWindowExW(0, kClassName, L"", kWindowStyle, Scaled(kWindowLeft, desktopDpi),
                                  Scaled(kWindowTop, desktopDpi), 0, 0, nullptr, nullptr, instance, this));
    if (!window_) return;
    dpi_ = DpiOf(window_.get());
    CreateMenuBar();
    CreateControls();
    CreateTooltips();
    LayOut();
}

void Win32MainView::LayOut() {
    // The font the controls have now goes once they have the new one.
    const UniqueFont previous = std::exchange(font_, MessageFontAt(dpi_));
    const auto place = [this](HWND child, int x, int y, int width, int height) {
        PlaceScaled(child, x, y, width, height, dpi_, font_.get());
    };
    for (const Placement& at : kPlacements) place(Control(at.control), at.x, at.y, at.width, at.height);
    place(GetDlgItem(window_.get(), kColonId), kRightInputX + kTimeWidth, kRow4 + kLabelDrop,
          kMinuteX - kRightInputX - kTimeWidth, 16);
    place(logEdit_, kLogX, kLogY, kLogWidth, kLogHeight);
    // The status bar takes its height from its font and its place from the window.
    SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    int fields[2] = {Scaled(kScheduleFieldWidth, dpi_), -1};
    SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(fields));

    SizeClientScaled(window_.get(), kClientWidth, kClientHeight, dpi_, kWindowStyle, true, 0);
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    // The tools that stand for disabled controls follow them.
    for (int index = 0; index < kMainControlCount; ++index) {
        if (hasTools_[static_cast<std::size_t>(index)]) MoveToolRect(static_cast<MainControl>(index));
    }
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Win32MainView::MoveToolRect(MainControl control) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_.get();
    tool.uId = static_cast<UINT_PTR>(IdOf(control));
    GetWindowRect(Control(control), &tool.rect);
    MapWindowPoints(nullptr, window_.get(), reinterpret_cast<POINT*>(&tool.rect), 2);
    SendMessageW(tooltip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The menu's own words are the same in both languages; the shell names the commands added to them.
void Win32MainView::CreateMenuBar() {
    UniqueMenu bar(CreateMenu());
    const HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, IdOf(MenuItem::kRunNow), L"");
    AppendMenuW(file, MF_STRING, IdOf(MenuItem::kCheckConnection), L"");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, IdOf(MenuItem::kQuit), L"Quit");
    AppendMenuW(file, MF_STRING, IdOf(MenuItem::kAbout), L"About");
    AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    const HMENU language = CreatePopupMenu();
    AppendMenuW(language, MF_STRING, IdOf(MenuItem::kGerman), L"German");
    AppendMenuW(language, MF_STRING, IdOf(MenuItem::kEnglish), L"English");
    AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(language), L"Language");
    if (SetMenu(window_.get(), bar.get())) menu_ = bar.release();

    trayMenu_.reset(CreatePopupMenu());
    for (const MenuItem item : {MenuItem::kTrayShow, MenuItem::kTrayRunNow, MenuItem::kTrayStartStop}) {
        AppendMenuW(trayMenu_.get(), MF_STRING, IdOf(item), L"");
    }
    AppendMenuW(trayMenu_.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(trayMenu_.get(), MF_STRING, IdOf(MenuItem::kTrayQuit), L"");
}

HMENU Win32MainView::MenuOf(MenuItem item) const {
    const bool tray = item == MenuItem::kTrayShow || item == MenuItem::kTrayRunNow ||
                      item == MenuItem::kTrayStartStop || item == MenuItem::kTrayQuit;
    return tray ? trayMenu_.get() : menu_;
}

void Win32MainView::ShowTrayMenu() {
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its window is in the foreground.
    SetForegroundWindow(window_.get());
    TrackPopupMenu(trayMenu_.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, window_.get(), nullptr);
    PostMessageW(window_.get(), WM_NULL, 0, 0);
}

HWND Win32MainView::AddChild(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id) {
    return CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_.get(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void Win32MainView::CreateControls() {
    for (const Placement& place : kPlacements) {
        controls_[static_cast<std::size_t>(place.control)] =
            AddChild(place.windowClass, L"", place.style, IdOf(place.control));
        if (place.control == MainControl::kStartHourCombo) {
            AddChild(L"STATIC", L":", SS_CENTER, kColonId);
        }
    }
    SetText(MainControl::kBrowseButton, "...");
    // Five digits hold every port; the shell refuses a number above the last one.
    SendMessageW(Control(MainControl::kPortEdit), EM_LIMITTEXT, 5, 0);
    SendMessageW(Control(MainControl::kDonateButton), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(donateBitmap_.get()));
    SendMessageW(Control(MainControl::kClearLogButton), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(clearLogBitmap_.get()));
    // Read-only, wrapping (no horizontal scrolling) and without a length limit (the log view sets it). The Tab key
    // reaches it last, so that the keyboard and a screen reader can read and scroll it.
    logEdit_ = AddChild(L"EDIT", L"", WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                        kLogId);
    statusBar_ = AddChild(STATUSCLASSNAMEW, L"", 0, kStatusBarId);
    log_.Attach(window_.get(), logEdit_);
}

void Win32MainView::CreateTooltips() {
    hasTools_ = {};
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(), nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    if (!tooltip_) return;
    // A reason to read stays up while the pointer rests on it, and the status bar with it.
    SendMessageW(tooltip_.get(), TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
    SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, 400);
}

void Win32MainView::AddTools(MainControl control, const std::string& text) {
    std::wstring wide = WideText(text);
    const HWND child = Control(control);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_.get();
    tool.uId = reinterpret_cast<UINT_PTR>(child);
    tool.lpszText = wide.data();
    SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A disabled control gets no mouse messages; the window under it does.
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, window_.get(), reinterpret_cast<POINT*>(&place), 2);
    tool.uFlags = TTF_SUBCLASS;
    tool.uId = static_cast<UINT_PTR>(IdOf(control));
    tool.rect = place;
    SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    hasTools_[static_cast<std::size_t>(control)] = true;
}

std::optional<MainControl> Win32MainView::ControlOfTool(UINT_PTR toolId) const {
    for (int index = 0; index < kMainControlCount; ++index) {
        const auto control = static_cast<MainControl>(index);
        if (toolId == static_cast<UINT_PTR>(IdOf(control)) || toolId == reinterpret_cast<UINT_PTR>(Control(control))) {
            return control;
        }
    }
    return std::nullopt;
}

void Win32MainView::OnTooltipShown(UINT_PTR toolId, bool shown) {
    const std::optional<MainControl> control = ControlOfTool(toolId);
    if (!control || statusTips_[static_cast<std::size_t>(*control)].empty()) {
        if (!shown) SendMessageW(statusBar_, SB_SIMPLE, FALSE, 0);
        return;
    }
    // The simple mode hides the two fields for as long as the tip is up, and gives them back unchanged.
    SendMessageW(statusBar_, SB_SIMPLE, shown ? TRUE : FALSE, 0);
    if (shown) {
        const std::wstring tip = WideText(statusTips_[static_cast<std::size_t>(*control)]);
        SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(tip.c_str()));
    }
}

void Win32MainView::SetWindowTitle(const std::string& title) {
    SetWindowTextW(window_.get(), WideText(title).c_str());
}

void Win32MainView::SetText(MainControl control, const std::string& text) {
    // The edits report every change of their text; the shell's own changes are no user action.
    settingText_ = true;
    SetWindowTextW(Control(control), WideText(text).c_str());
    settingText_ = false;
}

std::string Win32MainView::Text(MainControl control) const { return WindowText(Control(control)); }

void Win32MainView::SetEnabled(MainControl control, bool enabled) { EnableWindow(Control(control), enabled); }

void Win32MainView::SetVisible(MainControl control, bool visible) {
    ::ShowWindow(Control(control), visible ? SW_SHOW : SW_HIDE);
}

void Win32MainView::SetChecked(MainControl control, bool checked) {
    SendMessageW(Control(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32MainView::Checked(MainControl control) const {
    return SendMessageW(Control(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainView::SetTooltip(MainControl control, const std::string& tip) {
    if (!tooltip_) return;
    if (!hasTools_[static_cast<std::size_t>(control)]) {
        AddTools(control, tip);
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_.get();
    std::wstring wide = WideText(tip);
    tool.lpszText = wide.data();
    for (const UINT_PTR id : {reinterpret_cast<UINT_PTR>(Control(control)), static_cast<UINT_PTR>(IdOf(control))}) {
        tool.uId = id;
        SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Win32MainView::SetStatusTip(MainControl control, const std::string& tip) {
    statusTips_[static_cast<std::size_t>(control)] = tip;
}

void Win32MainView::SetMarked(MainControl control, bool marked) {
    marked_[static_cast<std::size_t>(control)] = marked;
    InvalidateRect(Control(control), nullptr, TRUE);
}

void Win32MainView::AddComboItem(MainControl combo, const std::string& text, std::int32_t data) {
    const LRESULT index = SendMessageW(Control(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(text).c_str()));
    if (index >= 0) SendMessageW(Control(combo), CB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

int Win32MainView::ComboItemCount(MainControl combo) const {
    return static_cast<int>(SendMessageW(Control(combo), CB_GETCOUNT, 0, 0));
}

std::int32_t Win32MainView::ComboItemData(MainControl combo, int index) const {
    const LRESULT data = SendMessageW(Control(combo), CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : static_cast<std::int32_t>(data);
}

void Win32MainView::SetComboItemText(MainControl combo, int index, const std::string& text) {
    const HWND box = Control(combo);
    if (index < 0 || index >= ComboItemCount(combo)) return;
    const std::int32_t data = ComboItemData(combo, index);
    const std::optional<int> selected = ComboSelection(combo);
    SendMessageW(box, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(box, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(WideText(text).c_str()));
    SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    SelectComboItem(combo, selected);
}

std::optional<int> Win32MainView::ComboSelection(MainControl combo) const {
    const LRESULT index = SendMessageW(Control(combo), CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return std::nullopt;
    return static_cast<int>(index);
}

void Win32MainView::SelectComboItem(MainControl combo, std::optional<int> index) {
    SendMessageW(Control(combo), CB_SETCURSEL, index ? static_cast<WPARAM>(*index) : static_cast<WPARAM>(-1), 0);
}

void Win32MainView::SetStatusText(StatusField field, const std::string& text) {
    SendMessageW(statusBar_, SB_SETTEXTW, static_cast<WPARAM>(field),
                 reinterpret_cast<LPARAM>(WideText(text).c_str()));
}

void Win32MainView::SetMenuChecked(MenuItem item, bool checked) {
    CheckMenuItem(menu_, static_cast<UINT>(IdOf(item)), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Win32MainView::MenuChecked(MenuItem item) const {
    return (GetMenuState(menu_, static_cast<UINT>(IdOf(item)), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void Win32MainView::SetMenuText(MenuItem item, const std::string& text) {
    // Only the text changes; a grey or a check mark stays.
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    std::wstring wide = WideText(text);
    info.dwTypeData = wide.data();
    SetMenuItemInfoW(MenuOf(item), static_cast<UINT>(IdOf(item)), FALSE, &info);
}

void Win32MainView::SetMenuEnabled(MenuItem item, bool enabled) {
    EnableMenuItem(MenuOf(item), static_cast<UINT>(IdOf(item)), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32MainView::ShowWindow() { ::ShowWindow(window_.get(), SW_SHOW); }

void Win32MainView::HideWindow() { ::ShowWindow(window_.get(), SW_HIDE); }

void Win32MainView::RestoreWindow() {
    ::ShowWindow(window_.get(), SW_RESTORE);
    SetForegroundWindow(window_.get());
}

void Win32MainView::SetWindowEnabled(bool enabled) { EnableWindow(window_.get(), enabled); }

bool Win32MainView::HasNotificationArea() const { return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }

void Win32MainView::ShowTrayIcon(const std::string& tooltip) {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window_.get(), GCLP_HICONSM));
    tray_.Show(window_.get(), kTrayMessage, icon, tooltip);
}

void Win32MainView::HideTrayIcon() { tray_.Remove(); }

void Win32MainView::ShowMessage(const std::string& title, const std::string& text) {
    // A message about the OAuth settings belongs to their window while it is open.
    const HWND owner = oauth_ != nullptr && IsWindowVisible(oauth_->Window()) ? oauth_->Window() : window_.get();
    ShowMessageBox(owner, title, text);
}

bool Win32MainView::AskYesNo(const std::string& title, const std::string& text) {
    return AskYesNoBox(window_.get(), title, text);
}

std::string Win32MainView::AskText(const std::string& title, const std::string& prompt,
                                   const std::string& defaultText) {
    // The question comes from the advanced window when that is open; it is the box's owner then.
    const HWND owner = advanced_ != nullptr && IsWindowVisible(advanced_->Window()) ? advanced_->Window()
                                                                                    : window_.get();
    return AskTextBox(owner, title, prompt, defaultText);
}

std::string Win32MainView::ChooseFolder(const std::string& title, const std::string& initialFolder) {
    return ChooseFolderBox(window_.get(), title, initialFolder);
}

void Win32MainView::OpenWebAddress(const std::string& address) { OpenInBrowser(window_.get(), address); }

void Win32MainView::StartTimers() {
    SetTimer(window_.get(), kScheduleTimerId, kScheduleTimerMilliseconds, nullptr);
    SetTimer(window_.get(), kLogPollTimerId, kLogPollTimerMilliseconds, nullptr);
}

void Win32MainView::DispatchOne(MSG& message) {
    if (advanced_ != nullptr && advanced_->Window() != nullptr && IsDialogMessageW(advanced_->Window(), &message)) {
        return;
    }
    if (oauth_ != nullptr && oauth_->Window() != nullptr && IsDialogMessageW(oauth_->Window(), &message)) return;
    if (window_ && IsDialogMessageW(window_.get(), &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Win32MainView::RunEventLoop(MainEvents& events) {
    // Without a window (no display to put it on) nothing could ever end the loop.
    if (!window_) return;
    events_ = &events;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchOne(message);
    events_ = nullptr;
}

void Win32MainView::EndEventLoop() { PostQuitMessage(0); }

LRESULT CALLBACK Win32MainView::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* view = reinterpret_cast<Win32MainView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr || view->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
    return view->Handle(message, wParam, lParam);
}

LRESULT Win32MainView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.get();
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (events_ == nullptr) return 0;
            if (wParam == kScheduleTimerId) events_->OnScheduleTimer();
            if (wParam == kLogPollTimerId) events_->OnLogPollTimer();
            return 0;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED && events_ != nullptr) events_->OnMinimised();
            return 0;
        case WM_DPICHANGED: {
            dpi_ = FollowDpiChange(window, wParam, lParam);
            LayOut();
            return 0;
        }
        case WM_CLOSE:
            if (events_ != nullptr) events_->OnQuit();
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IdOf(MainControl::kStartStopButton), DC_HASDEFID);
        case WM_CTLCOLOREDIT:
            // A marked box on a pale red ground; a drop-down list asks for its face the same way.
            for (int index = 0; index < kMainControlCount; ++index) {
                if (marked_[static_cast<std::size_t>(index)] && Control(static_cast<MainControl>(index)) ==
                                                                     reinterpret_cast<HWND>(lParam)) {
                    if (!markBrush_) markBrush_.reset(CreateSolidBrush(kMarkColour));
                    SetBkColor(reinterpret_cast<HDC>(wParam), kMarkColour);
                    return reinterpret_cast<LRESULT>(markBrush_.get());
                }
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const bool shownOrGone = header->code == TTN_SHOW || header->code == TTN_POP;
            if (tooltip_ && header->hwndFrom == tooltip_.get() && shownOrGone) {
                OnTooltipShown(header->idFrom, header->code == TTN_SHOW);
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
            // The log is read-only, which an edit shows greyed; it reads better on the window colour.
            if (reinterpret_cast<HWND>(lParam) == logEdit_) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        case Win32LogView::kRowsPendingMessage:
            log_.TakePendingRows();
            return 0;
        case kTrayMessage:
            if (lParam == WM_LBUTTONDBLCLK && events_ != nullptr) events_->OnTrayDoubleClick();
            if (lParam == WM_RBUTTONUP || lParam == WM_CONTEXTMENU) ShowTrayMenu();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32MainView::OnCommand(int id, int notification) {
    if (events_ == nullptr) return;
    if (id >= kFirstMenuId && id < kFirstMenuId + kMenuItemCount) {
        switch (const auto item = static_cast<MenuItem>(id - kFirstMenuId)) {
            case MenuItem::kQuit:
            case MenuItem::kTrayQuit: events_->OnQuit(); break;
            case MenuItem::kAbout: events_->OnAbout(); break;
            case MenuItem::kGerman:
            case MenuItem::kEnglish: events_->OnLanguageChosen(item); break;
            case MenuItem::kRunNow:
            case MenuItem::kTrayRunNow: events_->OnRunNow(); break;
            case MenuItem::kCheckConnection: events_->OnCheckConnection(); break;
            case MenuItem::kTrayShow: events_->OnTrayDoubleClick(); break;
            case MenuItem::kTrayStartStop: events_->OnStartStopButton(); break;
        }
        return;
    }
    if (id == IDOK) id = IdOf(MainControl::kStartStopButton);  // Enter where no default id is asked for
    if (id < kFirstControlId || id >= kFirstControlId + kMainControlCount) return;
    const auto control = static_cast<MainControl>(id - kFirstControlId);
    if (IsTextInput(control)) {
        if (notification == EN_CHANGE && !settingText_) events_->OnInputChanged();
        return;
    }
    if (control == MainControl::kIntervalCombo) {
        if (notification == CBN_SELCHANGE) events_->OnInputChanged();
        return;
    }
    if (control == MainControl::kSecurityCombo) {
        if (notification == CBN_SELCHANGE) events_->OnSecurityChanged();
        return;
    }
    if (control == MainControl::kAuthenticationCombo) {
        if (notification == CBN_SELCHANGE) events_->OnAuthenticationChanged();
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (control) {
        case MainControl::kBrowseButton: events_->OnBrowseButton(); break;
        case MainControl::kAdvancedButton: events_->OnAdvancedButton(); break;
        case MainControl::kOAuthSettingsButton: events_->OnOAuthSettingsButton(); break;
        case MainControl::kSignInButton: events_->OnSignInButton(); break;
        case MainControl::kShortcutCheck: events_->OnShortcutCheckChanged(); break;
        case MainControl::kServiceCheck: events_->OnServiceCheckChanged(); break;
        case MainControl::kStartStopButton:
            if (IsWindowEnabled(Control(control))) events_->OnStartStopButton();
            break;
        case MainControl::kDonateButton: events_->OnDonateButton(); break;
        case MainControl::kClearLogButton: events_->OnClearLogButton(); break;
        default: break;
    }
}

}  // namespace zendrel::win32

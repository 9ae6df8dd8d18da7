#include "app/ui/win32/win32_oauth_settings_view.h"

#include <iterator>
#include <utility>

#include "app/ui/win32/win32_main_view.h"
#include "app/ui/win32/win32_text.h"

namespace zendrel::win32 {
namespace {

constexpr const wchar_t* kClassName = L"ZendrelOAuthSettingsWindow";
// Room for a provider's address on one line.
constexpr int kClientWidth = 480;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kFirstControlId = 100;

constexpr int IdOf(OAuthControl control) { return kFirstControlId + static_cast<int>(control); }

struct Placement {
    OAuthControl control;
    const wchar_t* windowClass;
    DWORD style;
    int x, y, width, height;
};

constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kEdit = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr int kLeft = 12, kFullWidth = kClientWidth - 2 * kLeft, kButtonWidth = 100;
// Each box under its label, a row apart.
constexpr int kRowStep = 46, kBoxDrop = 18;
constexpr int RowTop(int row) { return 12 + row * kRowStep; }
constexpr int kFootTop = RowTop(7) + 6;
constexpr int kClientHeight = kFootTop + 27 + 12;

// In creation order, which is also the order of the Tab key.
constexpr Placement kPlacements[] = {
    {OAuthControl::kClientIdLabel, L"STATIC", kLabel, kLeft, RowTop(0), kFullWidth, 16},
    {OAuthControl::kClientIdEdit, L"EDIT", kEdit, kLeft, RowTop(0) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kClientSecretLabel, L"STATIC", kLabel, kLeft, RowTop(1), kFullWidth, 16},
    {OAuthControl::kClientSecretEdit, L"EDIT", kEdit | ES_PASSWORD, kLeft, RowTop(1) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kTenantLabel, L"STATIC", kLabel, kLeft, RowTop(2), kFullWidth, 16},
    {OAuthControl::kTenantEdit, L"EDIT", kEdit, kLeft, RowTop(2) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kAuthorizeUrlLabel, L"STATIC", kLabel, kLeft, RowTop(3), kFullWidth, 16},
    {OAuthControl::kAuthorizeUrlEdit, L"EDIT", kEdit, kLeft, RowTop(3) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kTokenUrlLabel, L"STATIC", kLabel, kLeft, RowTop(4), kFullWidth, 16},
    {OAuthControl::kTokenUrlEdit, L"EDIT", kEdit, kLeft, RowTop(4) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kDeviceUrlLabel, L"STATIC", kLabel, kLeft, RowTop(5), kFullWidth, 16},
    {OAuthControl::kDeviceUrlEdit, L"EDIT", kEdit, kLeft, RowTop(5) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kScopeLabel, L"STATIC", kLabel, kLeft, RowTop(6), kFullWidth, 16},
    {OAuthControl::kScopeEdit, L"EDIT", kEdit, kLeft, RowTop(6) + kBoxDrop, kFullWidth, 22},
    {OAuthControl::kOkButton, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON,
     kLeft + kFullWidth - 2 * kButtonWidth - 8, kFootTop, kButtonWidth, 27},
    {OAuthControl::kCancelButton, L"BUTTON", kButton, kLeft + kFullWidth - kButtonWidth, kFootTop, kButtonWidth, 27},
};
static_assert(std::size(kPlacements) == kOAuthControlCount);

}  // namespace

Win32OAuthSettingsView::Win32OAuthSettingsView(Win32MainView& main) : main_(main) {
    main_.SetOAuthSettingsView(this);
}

Win32OAuthSettingsView::~Win32OAuthSettingsView() {
    main_.SetOAuthSettingsView(nullptr);
    window_.reset();
}

void Win32OAuthSettingsView::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
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
}

void Win32OAuthSettingsView::LayOut() {
    // The font the controls have now goes once they have the new one.
    const UniqueFont previous = std::exchange(font_, MessageFontAt(dpi_));
    for (const Placement& place : kPlacements) {
        PlaceScaled(Control(place.control), place.x, place.y, place.width, place.height, dpi_, font_.get());
    }
    SizeClientScaled(window_.get(), kClientWidth, kClientHeight, dpi_, kWindowStyle, false, WS_EX_DLGMODALFRAME);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Win32OAuthSettingsView::SetTitle(const std::string& title) {
    SetWindowTextW(window_.get(), WideText(title).c_str());
}

void Win32OAuthSettingsView::Show() {
    // Centred on the main window, which owns it, wherever that stands now.
    CentreOn(window_.get(), main_.Window());
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
    SetFocus(Control(OAuthControl::kClientIdEdit));
}

void Win32OAuthSettingsView::Hide() { ShowWindow(window_.get(), SW_HIDE); }

void Win32OAuthSettingsView::SetText(OAuthControl control, const std::string& text) {
    SetWindowTextW(Control(control), WideText(text).c_str());
}

std::string Win32OAuthSettingsView::Text(OAuthControl control) const { return WindowText(Control(control)); }

void Win32OAuthSettingsView::SetEnabled(OAuthControl control, bool enabled) {
    EnableWindow(Control(control), enabled);
}

LRESULT CALLBACK Win32OAuthSettingsView::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* view = reinterpret_cast<Win32OAuthSettingsView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr || view->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
    return view->Handle(message, wParam, lParam);
}

LRESULT Win32OAuthSettingsView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            if (main_.Events() != nullptr) main_.Events()->OnOAuthSettingsClosed(false);
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IdOf(OAuthControl::kOkButton), DC_HASDEFID);
        case WM_DPICHANGED: {
            dpi_ = FollowDpiChange(window_.get(), wParam, lParam);
            LayOut();
            return 0;
        }
        default:
            return DefWindowProcW(window_.get(), message, wParam, lParam);
    }
}

void Win32OAuthSettingsView::OnCommand(int id, int notification) {
    MainEvents* events = main_.Events();
    if (events == nullptr || notification != BN_CLICKED) return;
    // Enter is OK and Escape is Cancel, as in a dialog.
    if (id == IDOK || id == IdOf(OAuthControl::kOkButton)) events->OnOAuthSettingsClosed(true);
    if (id == IDCANCEL || id == IdOf(OAuthControl::kCancelButton)) events->OnOAuthSettingsClosed(false);
}

}  // namespace zendrel::win32

// The Win32 face: the window class, its controls from the control table, the
// notifications forwarded to the form core, layout, fonts and message loops.
#include "win32/main_window.h"

#include <commctrl.h>


#include <algorithm>
#include <stdexcept>
#include <vector>

#include "common/clock.h"
#include "win32/win32_text.h"

namespace vandrel::win32 {

using form::Control;
using form::ControlKind;

namespace {

constexpr int kListDropHeight = 200; // a drop-down list's open part

// The menu's Ctrl+Shift shortcuts, for every window of the thread's loops.
HACCEL MenuShortcuts() {
    static const HACCEL table = [] {
        std::vector<ACCEL> keys;
        for (const form::MenuCommandSpec& spec : form::MenuCommandTable())
            if (spec.ShortcutKey != 0)
                keys.push_back({FCONTROL | FSHIFT | FVIRTKEY, static_cast<WORD>(spec.ShortcutKey),
                                static_cast<WORD>(form::MenuCommandId(spec.Id))});
        return ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    }();
    return table;
}
constexpr UINT_PTR kSubclassId = 1;

bool FontExists(const wchar_t* face) {
    HDC dc = ::GetDC(nullptr);
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    ::EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, dc);
    return found;
}

struct FontChoice {
    const wchar_t* Face;
    int Pixels;
    BYTE CharSet;
};

// The first font of `choices` the system has, else a font of `pitch` the
// font mapper picks.
HFONT MakeFont(std::initializer_list<FontChoice> choices, int dpi, BYTE pitch) {
    for (const FontChoice& choice : choices)
        if (FontExists(choice.Face))
            return ::CreateFontW(-::MulDiv(choice.Pixels, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE,
                                 FALSE, FALSE, choice.CharSet, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, choice.Face);
    return ::CreateFontW(-::MulDiv(12, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         pitch, nullptr);
}

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi) {
        if (const UINT dpi = getDpi(window))
            return static_cast<int>(dpi);
    }
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

// The hexadecimal fields: every typed character through the core's key rule.
LRESULT CALLBACK HexFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
    // Control characters (backspace, Ctrl+C, Ctrl+V ...) are editing commands.
    if (message == WM_CHAR && wParam >= 0x20 && wParam != 0x7F) {
        char key = wParam < 0x80 ? static_cast<char>(wParam) : '\0';
        form::TFormCore::edtHexKeyPress(key);
        if (key == '\0')
            return 0;
        wParam = static_cast<unsigned char>(key);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// The log: Tab and Enter leave it for the window's dialog keys; Ctrl+A
// selects all of it.
LRESULT CALLBACK LogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR) {
    if (message == WM_GETDLGCODE)
        return ::DefSubclassProc(window, message, wParam, lParam) &
               ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    if (message == WM_KEYDOWN && wParam == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
        ::SendMessageW(window, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_CHAR && wParam == 1) // Ctrl+A's character: no beep
        return 0;
    return ::DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

TMainWindow::TMainWindow() = default;

TMainWindow::~TMainWindow() {
    if (windowFont_)
        ::DeleteObject(windowFont_);
    if (logFont_)
        ::DeleteObject(logFont_);
}

int TMainWindow::Scale(int value) const {
    return ::MulDiv(value, dpi_, 96);
}

form::Rect TMainWindow::Scaled(const form::Rect& rect) const {
    return {Scale(rect.Left), Scale(rect.Top), Scale(rect.Width), Scale(rect.Height)};
}

void TMainWindow::CreateFonts() {
    if (windowFont_)
        ::DeleteObject(windowFont_);
    if (logFont_)
        ::DeleteObject(logFont_);
    // The described fonts where the system has them; Tahoma and a fixed-pitch
    // font of Windows' own elsewhere.
    windowFont_ = MakeFont({{L"ＭＳ Ｐゴシック", 12, SHIFTJIS_CHARSET},
                            {L"MS PGothic", 12, SHIFTJIS_CHARSET},
                            {L"Tahoma", 11, DEFAULT_CHARSET}},
                           dpi_, VARIABLE_PITCH | FF_SWISS);
    logFont_ = MakeFont({{L"ＭＳ ゴシック", 12, SHIFTJIS_CHARSET},
                         {L"MS Gothic", 12, SHIFTJIS_CHARSET},
                         {L"Consolas", 12, DEFAULT_CHARSET},
                         {L"Courier New", 12, DEFAULT_CHARSET}},
                        dpi_, FIXED_PITCH | FF_MODERN);
}

HWND TMainWindow::CreateControl(const form::ControlSpec& spec) {
    const std::wstring caption = Widen(std::string(spec.Caption));
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const wchar_t* windowClass = nullptr;
    switch (spec.Kind) {
    case ControlKind::Panel:
    case ControlKind::StatusBar:
        return nullptr; // the panel is only a place; the status bar comes with its panels
    case ControlKind::Group:
    case ControlKind::StepGroup:
        windowClass = WC_BUTTONW;
        style |= BS_GROUPBOX;
        break;
    case ControlKind::Label:
        windowClass = WC_STATICW;
        style |= SS_LEFT | (caption.find(L'&') == std::wstring::npos ? SS_NOPREFIX : 0);
        break;
    case ControlKind::List:
        windowClass = WC_COMBOBOXW;
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        break;
    case ControlKind::Edit:
        windowClass = WC_EDITW;
        style |= ES_AUTOHSCROLL | WS_TABSTOP | (spec.Has(form::kUpperCase) ? ES_UPPERCASE : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::CheckBox:
        windowClass = WC_BUTTONW;
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case ControlKind::Button:
        windowClass = WC_BUTTONW;
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case ControlKind::Log:
        windowClass = WC_EDITW;
        style |= ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_HSCROLL |
                 WS_VSCROLL | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    }
    if (!spec.Has(form::kHidden))
        style |= WS_VISIBLE;
    if (spec.Has(form::kDisabled))
        style |= WS_DISABLED;
    HWND control = ::CreateWindowExW(
        exStyle, windowClass, caption.c_str(), style, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(form::ControlId(spec.Id))),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
    if (!control)
        throw std::runtime_error("Can't create the control " + std::string(spec.Name));
    if (spec.Has(form::kTicked))
        ::SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    if (spec.Has(form::kUpperCase))
        ::SetWindowSubclass(control, HexFieldProc, kSubclassId, 0);
    if (spec.Kind == ControlKind::Log) {
        ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
        ::SetWindowSubclass(control, LogProc, kSubclassId, 0);
    }
    return control;
}

void TMainWindow::CreateMenus() {
    menuBar_ = ::CreateMenu();
    if (!menuBar_)
        throw std::runtime_error("Can't create the menu bar");
    std::array<HMENU, 4> menus{};
    for (const form::MenuSpec& spec : form::MenuTable()) {
        HMENU menu = ::CreatePopupMenu();
        if (!menu || !::AppendMenuW(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu),
                                    Widen(std::string(spec.Caption)).c_str()))
            throw std::runtime_error("Can't create the menu " + std::string(spec.Name));
        menus[static_cast<std::size_t>(spec.Id)] = menu;
    }
    for (const form::MenuCommandSpec& spec : form::MenuCommandTable()) {
        HMENU menu = menus[static_cast<std::size_t>(spec.Parent)];
        if (spec.SeparatorBefore)
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        std::string caption(spec.Caption);
        if (const std::string keys = form::ShortcutText(spec.Id); !keys.empty())
            caption += "\t" + keys;
        if (!::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(form::MenuCommandId(spec.Id)),
                           Widen(caption).c_str()))
            throw std::runtime_error("Can't create the menu command " + std::string(spec.Name));
    }
    if (!::SetMenu(hwnd_, menuBar_))
        throw std::runtime_error("Can't set the menu bar");
}

void TMainWindow::CreateControls() {
    dpi_ = WindowDpi(hwnd_);
    CreateMenus();
    CreateFonts();
    for (const form::ControlSpec& spec : form::ControlTable())
        handles_[static_cast<std::size_t>(spec.Id)] = CreateControl(spec);

    HWND status = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(form::ControlId(Control::StatusBar1))),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
    if (!status)
        throw std::runtime_error("Can't create the status bar");
    handles_[static_cast<std::size_t>(Control::StatusBar1)] = status;
    SetStatusParts();

    for (HWND control : handles_)
        if (control)
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    ::SendMessageW(Handle(Control::Memo1), WM_SETFONT, reinterpret_cast<WPARAM>(logFont_), FALSE);
    // Labels without an access key lie under the controls they may reach
    // into, and group boxes under everything they frame (they draw only their
    // frame and caption). A label with an access key stays just before its
    // field: the key moves the focus to the next control. The log comes
    // first in the tab order.
    // Each goes to the bottom in turn, so the groups are taken last to first:
    // a group then lies under the groups it holds (the step groups inside
    // "Programming"), which would otherwise be painted over.
    const auto& table = form::ControlTable();
    for (const bool groups : {false, true})
        for (auto spec = table.rbegin(); spec != table.rend(); ++spec)
            if (groups ? spec->Kind == ControlKind::Group || spec->Kind == ControlKind::StepGroup
                       : spec->Kind == ControlKind::Label && !spec->Buddy)
                ::SetWindowPos(Handle(spec->Id), HWND_BOTTOM, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(Handle(Control::Memo1), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Layout();
}

void TMainWindow::SetStatusParts() {
    HWND status = Handle(Control::StatusBar1);
    const int parts[] = {Scale(form::kStatusPanel0Width),
                         Scale(form::kStatusPanel0Width + form::kStatusPanel1Width)};
    ::SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    ::SendMessageW(status, SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
}

void TMainWindow::Layout() {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    HWND status = Handle(Control::StatusBar1);
    ::SendMessageW(status, SB_SETMINHEIGHT, static_cast<WPARAM>(Scale(form::kStatusBarHeight - 2)),
                   0);
    ::SendMessageW(status, WM_SIZE, 0, 0);
    RECT statusRect = {};
    ::GetWindowRect(status, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;

    HDC dc = ::GetDC(hwnd_);
    const HGDIOBJ oldFont = ::SelectObject(dc, windowFont_);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);

    // Each control in its parent's place; parents come before their children.
    std::array<form::Rect, form::kControlCount> places{};
    HDWP moves = ::BeginDeferWindowPos(form::kControlCount);
    for (const form::ControlSpec& spec : form::ControlTable()) {
        form::Rect place;
        if (spec.Kind == ControlKind::Log) {
            place = {0, Scale(form::kPanelHeight), width,
                     std::max(0, height - Scale(form::kPanelHeight) - statusHeight)};
        } else if (spec.Kind == ControlKind::StatusBar) {
            continue;
        } else {
            const form::Rect parent = spec.Parent ? places[static_cast<std::size_t>(*spec.Parent)]
                                                  : form::Rect{0, 0, width, height};
            place = Scaled(form::PlaceIn(spec, 0));
            if (spec.Has(form::kStretch))
                place.Width = std::max(0, parent.Width - place.Left);
            place.Left += parent.Left;
            place.Top += parent.Top;
        }
        // Labels and check boxes are never narrower than their captions.
        if (spec.Kind == ControlKind::Label || spec.Kind == ControlKind::CheckBox) {
            const std::wstring caption = Widen(form::PlainCaption(spec.Caption));
            SIZE extent = {};
            ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
            const int box = spec.Kind == ControlKind::CheckBox ? Scale(18) : 0;
            place.Width = std::max(place.Width, static_cast<int>(extent.cx) + box);
            if (spec.Kind == ControlKind::Label)
                place.Height = std::min(static_cast<int>(metrics.tmHeight), Scale(13));
        }
        places[static_cast<std::size_t>(spec.Id)] = place;
        HWND control = Handle(spec.Id);
        if (!control || !moves)
            continue;
        const int controlHeight =
            spec.Kind == ControlKind::List ? place.Height + Scale(kListDropHeight) : place.Height;
        moves = ::DeferWindowPos(moves, control, nullptr, place.Left, place.Top, place.Width,
                                 controlHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves)
        ::EndDeferWindowPos(moves);
    // Group boxes draw no background: the window repaints behind them.
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(hwnd_, dc);

    for (Control list : {Control::cmbDeviceList, Control::cmbSerialPortList})
        ::SendMessageW(Handle(list), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                       Scale(form::Spec(list).Height) - 6);

    if (progressBar_) {
        RECT bar = {};
        ::GetClientRect(status, &bar);
        // The panel widths scale with the DPI; the bar keeps 2 pixels' gap.
        form::Rect place = form::ProgressBarRect({bar.right, bar.bottom});
        place.Left = Scale(form::kStatusPanel0Width) + 2;
        place.Width = bar.right - place.Left;
        ::MoveWindow(progressBar_, place.Left, place.Top, place.Width, place.Height, TRUE);
    }
}

void TMainWindow::RunPosted() {
    std::deque<std::function<void()>> work;
    {
        const std::lock_guard lock(postedMutex_);
        work.swap(posted_);
    }
    for (auto& item : work)
        item();
}

LRESULT TMainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        try {
            CreateControls();
            core_ = std::make_unique<form::TFormCore>(static_cast<form::FormView&>(*this),
                                                      settings_, RealClock::Instance());
        } catch (...) {
            const std::wstring text = Widen(form::ExceptionMessage(std::current_exception()));
            ::MessageBoxW(hwnd_, text.c_str(), L"Vandrel1", MB_OK | MB_ICONERROR);
            return -1;
        }
        core_->Guarded([this] { core_->FormCreate(); });
        ::SetFocus(Handle(Control::Memo1));
        return 0;
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        // Panel 1 of the status bar: nothing is drawn in it.
        if (wParam == static_cast<WPARAM>(form::ControlId(Control::StatusBar1)))
            return TRUE;
        break;
    case WM_SIZE:
        if (handles_[static_cast<std::size_t>(Control::StatusBar1)])
            Layout();
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // Never below the minimum, however the size is asked for.
        auto* place = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!(place->flags & SWP_NOSIZE) && !::IsIconic(hwnd_) && !::IsZoomed(hwnd_)) {
            place->cx = std::max(place->cx, Scale(form::kMinWidth));
            place->cy = std::max(place->cy, Scale(form::kMinHeight));
        }
        break;
    }
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = Scale(form::kMinWidth);
        limits->ptMinTrackSize.y = Scale(form::kMinHeight);
        return 0;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        CreateFonts();
        for (HWND control : handles_)
            if (control)
                ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), TRUE);
        ::SendMessageW(Handle(Control::Memo1), WM_SETFONT, reinterpret_cast<WPARAM>(logFont_),
                       TRUE);
        SetStatusParts();
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_ACTIVATE:
        // The focused control, kept while another window is active.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus))
                ::SetPropW(hwnd_, L"Vandrel1.Focus", focus);
        }
        break;
    case WM_SETFOCUS: {
        HWND focus = static_cast<HWND>(::GetPropW(hwnd_, L"Vandrel1.Focus"));
        ::SetFocus(focus && ::IsWindow(focus) ? focus : Handle(Control::Memo1));
        return 0;
    }
    case WM_NEXTDLGCTL: {
        // What the dialog keys ask for (Tab, Shift+Tab, a label's access key),
        // done as a dialog box does it: a field reached so shows its text selected.
        HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : ::GetNextDlgTabItem(hwnd_, ::GetFocus(), wParam != 0);
        if (next) {
            ::SetFocus(next);
            if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                ::SendMessageW(next, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    case kRunPosted:
        RunPosted();
        return 0;
    case WM_CLOSE:
        if (core_ && !core_->FormCloseQuery())
            return 0;
        ::DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        if (core_)
            core_->FormDestroy();
        ::RemovePropW(hwnd_, L"Vandrel1.Focus");
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TMainWindow::OnCommand(WPARAM wParam, LPARAM) {
    if (!core_)
        return; // controls talking while they are made
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDOK) { // Enter, through the dialog keys
        if (::GetFocus() == Handle(Control::edtHexFile))
            core_->EnterPressed(Control::edtHexFile);
        return;
    }
    if (const std::optional<form::MenuCommand> command = form::MenuCommandOfId(id)) {
        core_->MenuChosen(*command); // from the menu or its shortcut
        return;
    }
    const std::optional<Control> control = form::ControlOfId(id);
    if (!control)
        return;
    switch (form::Spec(*control).Kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
        if (code == BN_CLICKED)
            core_->Clicked(*control);
        break;
    case ControlKind::Edit:
        if (code == EN_CHANGE)
            core_->TextChanged(*control);
        break;
    case ControlKind::List:
        if (code == CBN_SELCHANGE)
            core_->ListChosen(*control);
        else if (code == CBN_DROPDOWN)
            core_->ListDropDown(*control);
        break;
    default:
        break;
    }
}

LRESULT TMainWindow::OnColourStatic(HDC dc, HWND control) {
    const auto id = form::ControlOfId(::GetDlgCtrlID(control));
    if (id == Control::Memo1) {
        // The read-only log on the colour of text fields.
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    }
    if (id && red_[static_cast<std::size_t>(*id)]) {
        ::SetTextColor(dc, RGB(255, 0, 0));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                            reinterpret_cast<LPARAM>(control));
}

bool TMainWindow::Dispatch(MSG& message) {
    if (message.message == WM_QUIT)
        return false;
    HWND top = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    wchar_t className[16] = {};
    if (top)
        ::GetClassNameW(top, className, 16);
    // The menu's shortcuts, then Tab, Enter and the access keys of the main
    // window's controls.
    if (top && ::lstrcmpW(className, L"TForm1") == 0 &&
        (::TranslateAcceleratorW(top, MenuShortcuts(), &message) || ::IsDialogMessageW(top, &message)))
        return true;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

int RunMainWindow(HINSTANCE instance, int show) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                           ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    TMainWindow window;
    // 640 x 480 at 96 DPI, more on a denser screen.
    const int dpi = WindowDpi(nullptr);
    if (!window.Create(L"Vandrel1", WS_OVERLAPPEDWINDOW, WS_EX_CONTROLPARENT,
                       ::MulDiv(form::kMinWidth, dpi, 96), ::MulDiv(form::kMinHeight, dpi, 96),
                       instance))
        return 1;
    ::ShowWindow(window.Window(), show);
    ::UpdateWindow(window.Window());
    MSG message = {};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        TMainWindow::Dispatch(message);
    return static_cast<int>(message.wParam);
}

} // namespace vandrel::win32

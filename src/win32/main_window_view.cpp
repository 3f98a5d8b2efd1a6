// The Win32 face carrying out what the form core asks: controls by their
// table names, the log, the status bar, the dialogs and the message loop.
#include "win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <cctype>
#include <vector>


namespace vandrel::win32 {

using form::Control;
using form::ControlKind;

namespace {

std::string TextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return Narrow(text);
}

} // namespace

std::string TMainWindow::Caption(Control control) const {
    return TextOf(Handle(control));
}

void TMainWindow::SetCaption(Control control, const std::string& caption) {
    ::SetWindowTextW(Handle(control), Widen(caption).c_str());
}

void TMainWindow::SetEnabled(Control control, bool enabled) {
    ::EnableWindow(Handle(control), enabled ? TRUE : FALSE);
}

bool TMainWindow::Checked(Control box) const {
    return ::SendMessageW(Handle(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainWindow::SetChecked(Control box, bool checked) {
    if (Checked(box) == checked)
        return;
    ::SendMessageW(Handle(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // A change by the program runs the box's click handling too.
    if (core_)
        core_->Clicked(box);
}

std::string TMainWindow::Text(Control control) const {
    HWND window = Handle(control);
    if (form::Spec(control).Kind != ControlKind::List)
        return TextOf(window);
    const LRESULT index = ::SendMessageW(window, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    const LRESULT length = ::SendMessageW(window, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(window, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

void TMainWindow::SetText(Control control, const std::string& text) {
    const form::ControlSpec& spec = form::Spec(control);
    std::string shown = text;
    if (spec.Has(form::kUpperCase))
        std::transform(shown.begin(), shown.end(), shown.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (TextOf(Handle(control)) == shown)
        return;
    // An edit field tells the core of the change itself (EN_CHANGE).
    ::SetWindowTextW(Handle(control), Widen(shown).c_str());
}

void TMainWindow::SetListItems(Control list, const std::vector<form::ListItem>& items) {
    HWND window = Handle(list);
    ::SendMessageW(window, CB_RESETCONTENT, 0, 0);
    for (const form::ListItem& item : items)
        ::SendMessageW(window, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(item.Text).c_str()));
}

void TMainWindow::SelectListItem(Control list, int index) {
    ::SendMessageW(Handle(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TMainWindow::SetFocus(Control control) {
    ::SetFocus(Handle(control));
}

void TMainWindow::FlashLabel(Control label, bool red) {
    red_[static_cast<std::size_t>(label)] = red;
    ::InvalidateRect(Handle(label), nullptr, TRUE);
    ::UpdateWindow(Handle(label));
}

void TMainWindow::AppendToLog(const std::string& line) {
    HWND log = Handle(Control::Memo1);
    const int length = ::GetWindowTextLengthW(log);
    // Lines are separated, the last one has no line end.
    const std::wstring text = (logLines_ > 0 ? L"\r\n" : L"") + Widen(line);
    ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(length), length);
    ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    ++logLines_;
}

void TMainWindow::SetStatusText(const std::string& text) {
    ::SendMessageW(Handle(Control::StatusBar1), SB_SETTEXTW, 0,
                   reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

namespace {

// The progress control has no text of its own: its subclass paints the
// window's text centred over what the control painted.
LRESULT CALLBACK ProgressTextProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(bar, ProgressTextProc, 1);
    if (message != WM_PAINT)
        return ::DefSubclassProc(bar, message, wParam, lParam);
    const LRESULT result = ::DefSubclassProc(bar, message, wParam, lParam);
    const std::wstring& text = *reinterpret_cast<const std::wstring*>(data);
    if (!text.empty()) {
        HDC dc = ::GetDC(bar);
        RECT area = {};
        ::GetClientRect(bar, &area);
        const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(
                                                   ::GetParent(bar), WM_GETFONT, 0, 0)));
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(dc, old);
        ::ReleaseDC(bar, dc);
    }
    return result;
}

} // namespace

void TMainWindow::CreateProgressBar() {
    progressBar_ = ::CreateWindowExW(
        0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
        Handle(Control::StatusBar1), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
    if (progressBar_)
        ::SetWindowSubclass(progressBar_, ProgressTextProc, 1, reinterpret_cast<DWORD_PTR>(&progressText_));
    Layout();
}

void TMainWindow::SetProgressText(const std::string& text) {
    progressText_ = Widen(text);
    if (progressBar_)
        ::InvalidateRect(progressBar_, nullptr, TRUE);
}

void TMainWindow::DestroyProgressBar() {
    if (progressBar_)
        ::DestroyWindow(progressBar_);
    progressBar_ = nullptr;
}

void TMainWindow::ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position) {
    if (!progressBar_)
        return;
    if (max <= min) { // an empty range shows an empty bar
        min = 0;
        max = 1;
        position = 0;
    }
    ::SendMessageW(progressBar_, PBM_SETRANGE32, static_cast<WPARAM>(min), max);
    ::SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

namespace {

// The common file dialog with one filter ("description\0pattern\0\0").
std::optional<std::string> FileDialog(HWND owner, const form::FileFilter& filter,
                                      const std::string& initialFile, bool save) {
    std::wstring filters = Widen(filter.Description);
    filters += L'\0';
    filters += Widen(filter.Pattern);
    filters += L'\0';
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring initial = Widen(initialFile);
    if (initial.size() < file.size())
        std::copy(initial.begin(), initial.end(), file.begin());
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // Saving asks nothing about an existing file: the core does.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (save ? 0 : OFN_FILEMUSTEXIST);
    if (!(save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog)))
        return std::nullopt; // cancelled, or the dialog failed
    return Narrow(file.data());
}

} // namespace

std::optional<std::string> TMainWindow::OpenDialog(const form::FileFilter& filter,
                                                   const std::string& initialFile) {
    return FileDialog(hwnd_, filter, initialFile, false);
}

std::optional<std::string> TMainWindow::SaveDialog(const form::FileFilter& filter,
                                                   const std::string& initialFile) {
    return FileDialog(hwnd_, filter, initialFile, true);
}

void TMainWindow::ShowErrorBox(const std::string& message) {
    ::MessageBoxW(hwnd_, Widen(message).c_str(), L"Vandrel1", MB_OK | MB_ICONERROR);
}

bool TMainWindow::AskYesNo(const std::string& message) {
    return ::MessageBoxW(hwnd_, Widen(message).c_str(), L"Vandrel1", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TMainWindow::ShowInfoBox(const std::string& title, const std::string& message) {
    ::MessageBoxW(hwnd_, Widen(message).c_str(), Widen(title).c_str(), MB_OK | MB_ICONINFORMATION);
}

std::vector<std::string> TMainWindow::LogLines() const {
    std::vector<std::string> lines;
    if (logLines_ == 0)
        return lines;
    HWND log = Handle(Control::Memo1);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(log)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(log, text.data(), static_cast<int>(text.size()))));
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(L"\r\n", start);
        lines.push_back(Narrow(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start)));
        if (end == std::wstring::npos)
            return lines;
        start = end + 2;
    }
}

void TMainWindow::CopyToClipboard(const std::string& text) {
    std::wstring wide;
    for (const wchar_t c : Widen(text)) {
        if (c == L'\n')
            wide += L'\r';
        wide += c;
    }
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return;
    if (void* target = ::GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(hwnd_)) {
        ::GlobalFree(memory);
        return;
    }
    ::EmptyClipboard();
    if (!::SetClipboardData(CF_UNICODETEXT, memory))
        ::GlobalFree(memory);
    ::CloseClipboard();
}

void TMainWindow::SetMenuChecked(form::MenuCommand command, bool checked) {
    if (menuBar_)
        ::CheckMenuItem(menuBar_, static_cast<UINT>(form::MenuCommandId(command)),
                        MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void TMainWindow::SetMenuEnabled(form::MenuCommand command, bool enabled) {
    if (menuBar_)
        ::EnableMenuItem(menuBar_, static_cast<UINT>(form::MenuCommandId(command)),
                         MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TMainWindow::ProcessPendingMessages() {
    MSG message = {};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the loop that runs the window: it ends there.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void TMainWindow::PostToWindow(std::function<void()> work) {
    {
        const std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(work));
    }
    ::PostMessageW(hwnd_, kRunPosted, 0, 0);
}

void TMainWindow::CloseWindow() {
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

} // namespace vandrel::win32

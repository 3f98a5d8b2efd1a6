#pragma once
// The Win32 face of the main window: the controls of the control table made
// with CreateWindowEx in WM_CREATE, their notifications forwarded to the form
// core, and the core's view carried out with the common controls
// (main_window_view.cpp). Tab, Enter and the access keys go through
// IsDialogMessage in every message loop.
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "form/form_core.h"
#include "form/form_view.h"
#include "win32/base_window.h"
#include "win32/registry_settings.h"

namespace vandrel::win32 {

class TMainWindow : public BaseWindow<TMainWindow>, private form::FormView {
public:
    TMainWindow();
    ~TMainWindow() override;

    const wchar_t* ClassName() const { return L"TForm1"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Handles one message of a loop: dialog keys first. False for WM_QUIT.
    static bool Dispatch(MSG& message);

private:
    static constexpr UINT kRunPosted = WM_APP + 1; // PostToWindow's work waits in posted_
    static constexpr int kProgressBarId = 999;

    void CreateControls();
    // The menu bar from the menu table, and its shortcuts.
    void CreateMenus();
    HWND CreateControl(const form::ControlSpec& spec);
    void CreateFonts();
    // The status bar's two panels; panel 1 is drawn by nobody.
    void SetStatusParts();
    // Places every control for the client area's size and the window's DPI.
    void Layout();
    form::Rect Scaled(const form::Rect& rect) const;
    int Scale(int value) const;
    HWND Handle(form::Control control) const { return handles_[static_cast<std::size_t>(control)]; }
    void OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnColourStatic(HDC dc, HWND control);
    void RunPosted();

    // --- FormView ---
    std::string Caption(form::Control control) const override;
    void SetCaption(form::Control control, const std::string& caption) override;
    void SetEnabled(form::Control control, bool enabled) override;
    bool Checked(form::Control box) const override;
    void SetChecked(form::Control box, bool checked) override;
    std::string Text(form::Control control) const override;
    void SetText(form::Control control, const std::string& text) override;
    void SetListItems(form::Control list, const std::vector<form::ListItem>& items) override;
    void SelectListItem(form::Control list, int index) override;
    void SetFocus(form::Control control) override;
    void FlashLabel(form::Control label, bool red) override;
    void AppendToLog(const std::string& line) override;
    void SetStatusText(const std::string& text) override;
    void CreateProgressBar() override;
    void DestroyProgressBar() override;
    void ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position) override;
    void SetProgressText(const std::string& text) override;
    std::optional<std::string> OpenDialog(const form::FileFilter& filter,
                                          const std::string& initialFile) override;
    std::optional<std::string> SaveDialog(const form::FileFilter& filter,
                                          const std::string& initialFile) override;
    void ShowErrorBox(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    void ShowInfoBox(const std::string& title, const std::string& message) override;
    std::vector<std::string> LogLines() const override;
    void CopyToClipboard(const std::string& text) override;
    void SetMenuChecked(form::MenuCommand command, bool checked) override;
    void SetMenuEnabled(form::MenuCommand command, bool enabled) override;
    void ProcessPendingMessages() override;
    void PostToWindow(std::function<void()> work) override;
    void CloseWindow() override;

    RegistrySettings settings_;
    std::unique_ptr<form::TFormCore> core_;
    std::array<HWND, form::kControlCount> handles_{};
    HWND progressBar_ = nullptr;
    std::wstring progressText_; // painted over the bar by its subclass
    HMENU menuBar_ = nullptr;
    HFONT windowFont_ = nullptr;
    HFONT logFont_ = nullptr;
    int dpi_ = 96;
    std::array<bool, form::kControlCount> red_{}; // labels shown in red by a flash
    int logLines_ = 0;

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

// Runs the window until it is closed; the process's exit status.
int RunMainWindow(HINSTANCE instance, int show);

} // namespace vandrel::win32

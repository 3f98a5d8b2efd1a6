#pragma once
// The Qt face of the main window. The window's behaviour lives in the form
// core (form/form_core.h), which this class is; the face builds the controls
// from the control table (main_form_layout.cpp), forwards their events to the
// core and carries out what the core asks through its view
// (main_form_view.cpp). Its parts live beside it: form_controls (control
// builders, frames, fonts), status_bar (status text and progress bar) and
// hex_key_filter (the hexadecimal fields' typing).
#include <array>

#include <QMainWindow>
#include <QPalette>
#include <QString>
#include <QStringList>

#include "common/clock.h"
#include "form/com_port_list.h"
#include "form/form_core.h"
#include "form/form_view.h"
#include "ui/dialog_service.h"
#include "ui/form_controls.h"

class QAction;
class QPlainTextEdit;
class QProgressBar;

namespace vandrel::ui {

class TStatusBar;
using form::PortList;
using form::PortSource;

// What the window takes from its surroundings. Tests replace all three.
struct FormServices {
    DialogService* Dialogs = nullptr; // the real boxes when null
    Clock* TheClock = nullptr;        // RealClock::Instance() when null
    PortSource Ports;                 // SystemPorts when empty
};

class TForm1 : public QMainWindow, private form::FormView, public form::TFormCore {
    Q_OBJECT

public:
    static constexpr int kMinWidth = form::kMinWidth;
    static constexpr int kMinHeight = form::kMinHeight;

    explicit TForm1(FormServices services = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The size the window may take when `requested` is asked for.
    static QSize FormCanResize(QSize requested);

    // --- Displays, as the tests read them ---
    void AppendLogLine(const QString& line);
    QStringList LogText() const;
    QString StatusText() const;
    QProgressBar* ProgressBar() const;

    // The control under its table name.
    QWidget* Widget(form::Control control) const { return widgets_[Index(control)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    static std::size_t Index(form::Control control) { return static_cast<std::size_t>(control); }
    void CreateControls();
    QWidget* CreateControl(const form::ControlSpec& spec);
    void CreateLog(QWidget* central);
    void CreateMenus();
    void ArrangePanel();
    void SetTabOrder();
    void ConnectHandlers();

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

    DialogService& dialogs_;
    std::array<QWidget*, form::kControlCount> widgets_{};
    std::array<QAction*, form::kMenuCommandCount> actions_{};
    QPlainTextEdit* memo_ = nullptr;
    TStatusBar* statusBar_ = nullptr;
    QPalette flashRemembered_; // the flashing label's own colours
};

} // namespace vandrel::ui

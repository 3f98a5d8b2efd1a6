#pragma once
// A face for the form core made of plain values: every control's state in
// maps, dialogs answered in advance, and one trace of everything the core
// asked of the view, the settings and the clock, in order.
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "form/form_core.h"

namespace vandrel::form::test {

using Trace = std::vector<std::string>;

class ScriptedSettings final : public SettingsStore {
public:
    explicit ScriptedSettings(Trace& trace) : trace_(trace) {}
    void WriteSetting(const std::string& name, const std::string& value) override {
        trace_.push_back("write " + name + "=" + value);
        Values[name] = value;
    }
    std::string ReadSetting(const std::string& name) const override {
        trace_.push_back("read " + name);
        const auto it = Values.find(name);
        return it == Values.end() ? std::string() : it->second;
    }
    std::map<std::string, std::string> Values;

private:
    Trace& trace_;
};

// Virtual time. The waits of the thread that made the clock go into the
// trace; the port's own threads wait too (on closing), and only move the time.
class TracingClock final : public Clock {
public:
    explicit TracingClock(Trace& trace) : trace_(trace), owner_(std::this_thread::get_id()) {}
    std::int64_t NowMs() const override { return nowUs_.load() / 1000; }
    std::int64_t NowUs() const override { return nowUs_.load(); }
    void WaitMs(std::int64_t ms) override {
        if (std::this_thread::get_id() == owner_)
            trace_.push_back("wait " + std::to_string(ms));
        nowUs_ += ms * 1000;
    }
    void WaitUs(std::int64_t us) override { nowUs_ += us; } // line latencies: not traced

private:
    Trace& trace_;
    const std::thread::id owner_;
    std::atomic<std::int64_t> nowUs_{0};
};

class ScriptedView final : public FormView {
public:
    explicit ScriptedView(Trace& trace);

    std::string Caption(Control control) const override { return captions_.at(control); }
    void SetCaption(Control control, const std::string& caption) override;
    void SetEnabled(Control control, bool enabled) override;
    bool Checked(Control box) const override { return checked_.at(box); }
    void SetChecked(Control box, bool checked) override;
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetListItems(Control list, const std::vector<ListItem>& items) override;
    void SelectListItem(Control list, int index) override;
    void SetFocus(Control control) override;
    void FlashLabel(Control label, bool red) override;
    void AppendToLog(const std::string& line) override { Log.push_back(line); }
    void SetStatusText(const std::string& text) override { Status = text; }
    void CreateProgressBar() override { trace_.push_back("create progress bar"); }
    void DestroyProgressBar() override { trace_.push_back("destroy progress bar"); }
    void ShowProgress(std::int32_t, std::int32_t, std::int32_t) override {}
    void SetProgressText(const std::string& text) override { ProgressTexts.push_back(text); }
    std::optional<std::string> OpenDialog(const FileFilter& filter,
                                          const std::string& initialFile) override;
    void ShowErrorBox(const std::string& message) override { Errors.push_back(message); }
    std::optional<std::string> SaveDialog(const FileFilter& filter,
                                          const std::string& initialFile) override;
    bool AskYesNo(const std::string& message) override;
    void ShowInfoBox(const std::string& title, const std::string& message) override {
        Infos.push_back(title + "|" + message);
    }
    std::vector<std::string> LogLines() const override { return Log; }
    void CopyToClipboard(const std::string& text) override { Clipboard = text; }
    void SetMenuChecked(MenuCommand command, bool checked) override { MenuTicks[command] = checked; }
    void SetMenuEnabled(MenuCommand command, bool enabled) override { MenuEnabled[command] = enabled; }
    void ProcessPendingMessages() override;
    void PostToWindow(std::function<void()> work) override { Posted.push_back(std::move(work)); }
    void CloseWindow() override { trace_.push_back("close"); }

    // The user's doing: each changes the control, then tells the core.
    void Type(Control field, const std::string& text); // replaces the field's text
    void Tick(Control box, bool checked) { SetChecked(box, checked); }
    void Choose(Control list, const std::string& entry);
    void Press(Control button) { Core->Clicked(button); }

    bool Enabled(Control control) const { return enabled_.at(control); }
    std::vector<std::string> Items(Control list) const;
    int Selected(Control list) const { return selected_.at(list); }
    std::optional<Control> Focus() const { return focus_; }

    TFormCore* Core = nullptr;
    std::vector<std::string> Log;
    std::string Status;
    std::vector<std::string> Errors;
    std::deque<std::optional<std::string>> Answers; // of the open dialog
    std::deque<std::optional<std::string>> SaveAnswers; // of the save dialog
    std::deque<bool> YesNo;           // answers of the questions, No when none is left
    std::vector<std::string> Questions; // asked, in order
    std::vector<std::string> Infos;
    std::string Clipboard;
    std::map<MenuCommand, bool> MenuTicks;
    std::map<MenuCommand, bool> MenuEnabled; // as last set; a command never set is enabled
    std::vector<std::string> ProgressTexts;  // each text of the progress bar, in order
    std::vector<std::function<void()>> Posted;
    // Runs at each processing of pending messages (a press during a run).
    std::function<void()> OnPump;

private:
    Trace& trace_;
    std::map<Control, std::string> captions_;
    std::map<Control, std::string> texts_;
    std::map<Control, bool> checked_;
    std::map<Control, bool> enabled_;
    std::map<Control, std::vector<ListItem>> items_;
    std::map<Control, int> selected_;
    std::optional<Control> focus_;
};

} // namespace vandrel::form::test

#pragma once
// What the form core asks of a face: its controls, by their table names, and
// the window's few services (log, status bar, progress bar, dialogs, pending
// messages). A face carries out each call at once.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "form/control_table.h"
#include "form/menu_table.h"

namespace vandrel::form {

// One entry of a drop-down list, and the hint a face may show for it.
struct ListItem {
    std::string Text;
    std::string Hint;
};

// A file dialog's one filter: "IntelHEXファイル(*.hex)" and "*.hex".
struct FileFilter {
    std::string Description;
    std::string Pattern;
};

class FormView {
public:
    virtual ~FormView() = default;

    // A button's or check box's caption.
    virtual std::string Caption(Control control) const = 0;
    virtual void SetCaption(Control control, const std::string& caption) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;

    virtual bool Checked(Control box) const = 0;
    // A change runs the box's click handling (TFormCore::Clicked), as a
    // change by the user does.
    virtual void SetChecked(Control box, bool checked) = 0;

    // The text of an edit field or a label, or a list's selected entry
    // (empty when none is selected).
    virtual std::string Text(Control control) const = 0;
    // A change of an edit field's text runs its change handling
    // (TFormCore::TextChanged).
    virtual void SetText(Control control, const std::string& text) = 0;

    // Replaces a list's entries; none is selected afterwards.
    virtual void SetListItems(Control list, const std::vector<ListItem>& items) = 0;
    // Selects an entry by its index, none for -1. Not a user's choice: no
    // change handling runs.
    virtual void SelectListItem(Control list, int index) = 0;

    virtual void SetFocus(Control control) = 0;
    // Shows a label's caption in red (255, 0, 0), or in its own colour again.
    virtual void FlashLabel(Control label, bool red) = 0;

    virtual void AppendToLog(const std::string& line) = 0;
    // The text of the status bar's first panel.
    virtual void SetStatusText(const std::string& text) = 0;

    // The progress bar laid over the status bar; it lives from its creation
    // to its destruction at shutdown.
    virtual void CreateProgressBar() = 0;
    virtual void DestroyProgressBar() = 0;
    // Shows a position within a range; the core keeps min <= position <= max.
    virtual void ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position) = 0;
    // A text shown on the progress bar ("about 12 s", "took 11.9 s"); empty:
    // none, the bar alone.
    virtual void SetProgressText(const std::string& text) = 0;

    // A modal file-open dialog; the chosen path, none on cancel.
    virtual std::optional<std::string> OpenDialog(const FileFilter& filter,
                                                  const std::string& initialFile) = 0;
    // A modal file-save dialog that does not ask about an existing file
    // itself; the chosen path, none on cancel.
    virtual std::optional<std::string> SaveDialog(const FileFilter& filter,
                                                  const std::string& initialFile) = 0;
    // A modal error box with one OK button.
    virtual void ShowErrorBox(const std::string& message) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& message) = 0;
    // A modal box with one OK button, for information.
    virtual void ShowInfoBox(const std::string& title, const std::string& message) = 0;

    // The log pane's lines, as it shows them.
    virtual std::vector<std::string> LogLines() const = 0;
    // Puts text on the clipboard.
    virtual void CopyToClipboard(const std::string& text) = 0;
    // Shows a checkable menu command ticked or not.
    virtual void SetMenuChecked(MenuCommand command, bool checked) = 0;
    // Shows a menu command available or greyed.
    virtual void SetMenuEnabled(MenuCommand command, bool enabled) = 0;
    // Lets the window handle the messages waiting for it (clicks, paints).
    virtual void ProcessPendingMessages() = 0;
    // Runs `work` on the window's thread soon; callable from any thread.
    virtual void PostToWindow(std::function<void()> work) = 0;
    // Closes the window (a close asked for during an operation comes back here).
    virtual void CloseWindow() = 0;
};

} // namespace vandrel::form

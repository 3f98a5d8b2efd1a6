#pragma once
// The window's modal boxes and its file dialog, behind one seam so that tests
// can answer them in advance.
#include <optional>

#include <QString>

class QWidget;

namespace vandrel::ui {

class DialogService {
public:
    virtual ~DialogService() = default;
    // A modal error box with one OK button.
    virtual void ErrorBox(QWidget* parent, const QString& text) = 0;
    // A file-open dialog; the chosen path, or nothing when cancelled.
    // `filter` uses Qt's form: "Description (*.ext)".
    virtual std::optional<QString> OpenFile(QWidget* parent, const QString& filter,
                                            const QString& initialFile) = 0;
};

// The real boxes: QMessageBox::critical and QFileDialog.
class QtDialogService final : public DialogService {
public:
    void ErrorBox(QWidget* parent, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* parent, const QString& filter,
                                    const QString& initialFile) override;
    static QtDialogService& Instance();
};

} // namespace vandrel::ui

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
    // A file-save dialog that leaves an existing file to the caller.
    virtual std::optional<QString> SaveFile(QWidget* parent, const QString& filter,
                                            const QString& initialFile) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool Question(QWidget* parent, const QString& text) = 0;
    // A modal box for information with one OK button.
    virtual void Information(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The real boxes: QMessageBox::critical and QFileDialog.
class QtDialogService final : public DialogService {
public:
    void ErrorBox(QWidget* parent, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* parent, const QString& filter,
                                    const QString& initialFile) override;
    std::optional<QString> SaveFile(QWidget* parent, const QString& filter,
                                    const QString& initialFile) override;
    bool Question(QWidget* parent, const QString& text) override;
    void Information(QWidget* parent, const QString& title, const QString& text) override;
    static QtDialogService& Instance();
};

} // namespace vandrel::ui

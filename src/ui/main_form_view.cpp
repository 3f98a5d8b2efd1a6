// The Qt face carrying out what the form core asks: controls by their table
// names, the log, the status bar, the dialogs and the event loop.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "ui/main_form.h"
#include "ui/status_bar.h"

namespace vandrel::ui {

using form::Control;

namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

std::string TForm1::Caption(Control control) const {
    if (const auto* button = qobject_cast<const QAbstractButton*>(Widget(control)))
        return button->text().toStdString();
    return {};
}

void TForm1::SetCaption(Control control, const std::string& caption) {
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control)))
        button->setText(ToQt(caption));
}

void TForm1::SetEnabled(Control control, bool enabled) {
    Widget(control)->setEnabled(enabled);
}

bool TForm1::Checked(Control box) const {
    const auto* check = qobject_cast<const QAbstractButton*>(Widget(box));
    return check && check->isChecked();
}

void TForm1::SetChecked(Control box, bool checked) {
    // toggled() runs the core's click handling when the state changes.
    if (auto* check = qobject_cast<QAbstractButton*>(Widget(box)))
        check->setChecked(checked);
}

std::string TForm1::Text(Control control) const {
    const QWidget* widget = Widget(control);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text().toStdString();
    if (const auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText().toStdString();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text().toStdString();
    return {};
}

void TForm1::SetText(Control control, const std::string& text) {
    QWidget* widget = Widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(ToQt(text)); // textChanged() runs the core's change handling
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(ToQt(text));
}

void TForm1::SetListItems(Control list, const std::vector<form::ListItem>& items) {
    auto* combo = qobject_cast<QComboBox*>(Widget(list));
    combo->clear();
    for (const form::ListItem& item : items) {
        combo->addItem(ToQt(item.Text));
        combo->setItemData(combo->count() - 1, ToQt(item.Hint), Qt::ToolTipRole);
    }
}

void TForm1::SelectListItem(Control list, int index) {
    qobject_cast<QComboBox*>(Widget(list))->setCurrentIndex(index);
}

void TForm1::SetFocus(Control control) {
    Widget(control)->setFocus();
}

void TForm1::FlashLabel(Control label, bool red) {
    QWidget* widget = Widget(label);
    if (red) {
        flashRemembered_ = widget->palette();
        QPalette palette = flashRemembered_;
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        widget->setPalette(palette);
    } else {
        widget->setPalette(flashRemembered_);
    }
    widget->repaint();
}

void TForm1::AppendToLog(const std::string& line) {
    memo_->appendPlainText(ToQt(line));
}

void TForm1::AppendLogLine(const QString& line) {
    memo_->appendPlainText(line);
}

QStringList TForm1::LogText() const {
    QStringList lines;
    for (QTextBlock block = memo_->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear(); // an empty document still has one empty block
    return lines;
}

void TForm1::SetStatusText(const std::string& text) {
    statusBar_->ShowStatus(ToQt(text));
}

QString TForm1::StatusText() const {
    return statusBar_->StatusText();
}

void TForm1::CreateProgressBar() {
    statusBar_->CreateProgressBar();
}

void TForm1::DestroyProgressBar() {
    statusBar_->DestroyProgressBar();
}

void TForm1::ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position) {
    statusBar_->ShowProgress(min, max, position);
}

void TForm1::SetProgressText(const std::string& text) {
    statusBar_->ShowProgressText(ToQt(text));
}

QProgressBar* TForm1::ProgressBar() const {
    return statusBar_->ProgressBar();
}

std::optional<std::string> TForm1::OpenDialog(const form::FileFilter& filter,
                                              const std::string& initialFile) {
    // Qt filters by the pattern in the description's brackets.
    const std::optional<QString> chosen =
        dialogs_.OpenFile(this, ToQt(filter.Description), ToQt(initialFile));
    if (!chosen)
        return std::nullopt;
    return chosen->toStdString();
}

std::optional<std::string> TForm1::SaveDialog(const form::FileFilter& filter,
                                              const std::string& initialFile) {
    const std::optional<QString> chosen =
        dialogs_.SaveFile(this, ToQt(filter.Description), ToQt(initialFile));
    if (!chosen)
        return std::nullopt;
    return chosen->toStdString();
}

void TForm1::ShowErrorBox(const std::string& message) {
    dialogs_.ErrorBox(this, ToQt(message));
}

bool TForm1::AskYesNo(const std::string& message) {
    return dialogs_.Question(this, ToQt(message));
}

void TForm1::ShowInfoBox(const std::string& title, const std::string& message) {
    dialogs_.Information(this, ToQt(title), ToQt(message));
}

std::vector<std::string> TForm1::LogLines() const {
    std::vector<std::string> lines;
    for (const QString& line : LogText())
        lines.push_back(line.toStdString());
    return lines;
}

void TForm1::CopyToClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(ToQt(text));
}

void TForm1::SetMenuChecked(form::MenuCommand command, bool checked) {
    actions_[static_cast<std::size_t>(command)]->setChecked(checked);
}

void TForm1::SetMenuEnabled(form::MenuCommand command, bool enabled) {
    actions_[static_cast<std::size_t>(command)]->setEnabled(enabled);
}

void TForm1::ProcessPendingMessages() {
    QCoreApplication::processEvents();
}

void TForm1::PostToWindow(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void TForm1::CloseWindow() {
    close();
}

} // namespace vandrel::ui

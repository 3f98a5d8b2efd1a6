#include "ui/dialog_service.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vandrel::ui {

void QtDialogService::ErrorBox(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

std::optional<QString> QtDialogService::OpenFile(QWidget* parent, const QString& filter,
                                                 const QString& initialFile) {
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), initialFile, filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<QString> QtDialogService::SaveFile(QWidget* parent, const QString& filter,
                                                 const QString& initialFile) {
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), initialFile, filter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool QtDialogService::Question(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogService::Information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::about(parent, title, text);
}

QtDialogService& QtDialogService::Instance() {
    static QtDialogService instance;
    return instance;
}

} // namespace vandrel::ui

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

QtDialogService& QtDialogService::Instance() {
    static QtDialogService instance;
    return instance;
}

} // namespace vandrel::ui

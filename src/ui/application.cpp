#include "ui/application.h"

#include "form/form_core.h"
#include "ui/dialog_service.h"

namespace vandrel::ui {

namespace {
DialogService* applicationDialogs = nullptr;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Vandrel1");
    setApplicationDisplayName("Vandrel1");
    setOrganizationName("Ostmerin");
    // The version names no settings path: the store is addressed by organisation and name.
    setApplicationVersion(VANDREL1_VERSION);
    // Lets the desktop match the window to the installed entry and its icon.
    setDesktopFileName("vandrel1");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(activeWindow(), applicationDialogs);
        return false;
    }
}

void TApplication::SetDialogService(DialogService* dialogs) {
    applicationDialogs = dialogs;
}

QString ExceptionMessage(std::exception_ptr error) {
    return QString::fromStdString(form::ExceptionMessage(error));
}

void ShowException(QWidget* parent, DialogService* dialogs) {
    const QString message = ExceptionMessage(std::current_exception());
    (dialogs ? *dialogs : QtDialogService::Instance()).ErrorBox(parent, message);
}

} // namespace vandrel::ui

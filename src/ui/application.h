#pragma once
// The application object: its notify() is the last line of defence for an
// exception that escapes an event handler. The message goes into an error
// box and the event loop goes on.
#include <exception>

#include <QApplication>

namespace vandrel::ui {

class DialogService;

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Where the error boxes go (the real boxes when null).
    static void SetDialogService(DialogService* dialogs);
};

// The text shown for an exception: its what(), or a fixed text for anything
// that is not a std::exception.
QString ExceptionMessage(std::exception_ptr error);

// Shows the current exception in an error box (through `dialogs`, or the real
// boxes when null). Call from a catch block only.
void ShowException(QWidget* parent, DialogService* dialogs = nullptr);

} // namespace vandrel::ui

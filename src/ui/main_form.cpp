#include "ui/main_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "ui/settings.h"

namespace vandrel::ui {

using form::Control;

TForm1::TForm1(FormServices services, QWidget* parent)
    : QMainWindow(parent),
      form::TFormCore(static_cast<form::FormView&>(*this), QtSettingsStore::Instance(),
                      services.TheClock ? *services.TheClock : RealClock::Instance(),
                      std::move(services.Ports)),
      dialogs_(services.Dialogs ? *services.Dialogs : QtDialogService::Instance()) {
    setObjectName("Form1");
    setWindowTitle("Vandrel1");
    setFont(WindowFont());
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    FormDestroy();
}

// Every control's events go to the core, by the control's table name.
void TForm1::ConnectHandlers() {
    for (const form::ControlSpec& spec : form::ControlTable()) {
        const Control id = spec.Id;
        QWidget* widget = Widget(id);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            // The rules run on every change of a box, by the user or by the program.
            connect(box, &QCheckBox::toggled, this, [this, id] { Clicked(id); });
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            connect(button, &QPushButton::clicked, this, [this, id] { Clicked(id); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textChanged, this, [this, id] { TextChanged(id); });
            connect(edit, &QLineEdit::returnPressed, this, [this, id] { EnterPressed(id); });
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            connect(list, &QComboBox::activated, this, [this, id] { ListChosen(id); });
        }
    }
    auto* ports = static_cast<TPortComboBox*>(Widget(Control::cmbSerialPortList));
    ports->OnDropDown = [this] { return ListDropDown(Control::cmbSerialPortList); };
    // The port's device path as the list's tool tip.
    connect(ports, &QComboBox::currentIndexChanged, this, [ports](int index) {
        ports->setToolTip(index >= 0 ? ports->itemData(index, Qt::ToolTipRole).toString()
                                     : QString());
    });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

QSize TForm1::FormCanResize(QSize requested) {
    const form::Size size = form::FormCanResize({requested.width(), requested.height()});
    return {size.Width, size.Height};
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Widget(Control::Panel1) && event->type() == QEvent::Resize)
        ArrangePanel();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vandrel::ui

// Building and placing the window's controls, from the control table.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/hex_key_filter.h"
#include "ui/main_form.h"
#include "ui/status_bar.h"

namespace vandrel::ui {

using form::Control;
using form::ControlKind;

QWidget* TForm1::CreateControl(const form::ControlSpec& spec) {
    const QString name = QString::fromUtf8(spec.Name.data(), static_cast<qsizetype>(spec.Name.size()));
    const QString caption =
        QString::fromUtf8(spec.Caption.data(), static_cast<qsizetype>(spec.Caption.size()));
    QWidget* parent = spec.Parent ? Widget(*spec.Parent) : nullptr;
    switch (spec.Kind) {
    case ControlKind::Group:
    case ControlKind::StepGroup: {
        auto* group = MakeGroup(parent, name, caption);
        if (spec.Kind == ControlKind::StepGroup)
            group->setGeometry(spec.Left, spec.Top, spec.Width, spec.Height);
        return group;
    }
    case ControlKind::Label:
        return MakeLabel(parent, name, caption, spec.Left, spec.Top,
                         spec.Width > 0 ? spec.Width : -1);
    case ControlKind::List:
        if (spec.Id == Control::cmbSerialPortList)
            return MakeList<TPortComboBox>(parent, name, spec.Left, spec.Top, spec.Width);
        return MakeList(parent, name, spec.Left, spec.Top, spec.Width);
    case ControlKind::Edit:
        return MakeEdit(parent, name, spec.Left, spec.Top, spec.Width);
    case ControlKind::CheckBox:
        return MakeCheckBox(parent, name, caption, spec.Left, spec.Top, spec.Width);
    case ControlKind::Button:
        return MakeButton(parent, name, caption, spec.Left, spec.Top, spec.Width);
    case ControlKind::Panel:
    case ControlKind::Log:
    case ControlKind::StatusBar:
        break; // built by CreateControls
    }
    return nullptr;
}

void TForm1::CreateControls() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);
    CreateMenus();

    auto* panel = new QWidget(central);
    panel->setObjectName("Panel1");
    panel->setFixedHeight(form::kPanelHeight);
    panel->installEventFilter(this); // placed by ArrangePanel at every resize
    column->addWidget(panel);
    widgets_[Index(Control::Panel1)] = panel;

    auto* hexKeys = new THexKeyFilter(&form::TFormCore::edtHexKeyPress, this);
    for (const form::ControlSpec& spec : form::ControlTable()) {
        QWidget* widget = CreateControl(spec);
        if (!widget)
            continue;
        widgets_[Index(spec.Id)] = widget;
        if (spec.Has(form::kTicked))
            static_cast<QCheckBox*>(widget)->setChecked(true);
        if (spec.Has(form::kDisabled))
            widget->setEnabled(false);
        if (spec.Has(form::kHidden))
            widget->setVisible(false);
        if (spec.Has(form::kUpperCase))
            hexKeys->Watch(static_cast<QLineEdit*>(widget));
    }
    for (const form::ControlSpec& spec : form::ControlTable()) {
        if (spec.Buddy)
            static_cast<QLabel*>(Widget(spec.Id))->setBuddy(Widget(*spec.Buddy));
        // An "All" box lies on its group's frame line, which it hides like a caption.
        if (spec.Kind == ControlKind::CheckBox && spec.Parent &&
            form::Spec(*spec.Parent).Kind == ControlKind::StepGroup && spec.Top == 0) {
            Widget(spec.Id)->setAutoFillBackground(true);
            Widget(spec.Id)->raise();
        }
    }

    CreateLog(central);
    column->addWidget(memo_, 1);

    // The progress bar is laid over it at start-up.
    statusBar_ = new TStatusBar(this);
    widgets_[Index(Control::StatusBar1)] = statusBar_;
    setStatusBar(statusBar_);
}

// The menu bar from the menu table; each command goes to the core.
void TForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    std::array<QMenu*, 4> menus{};
    for (const form::MenuSpec& spec : form::MenuTable()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(spec.Caption.data(), static_cast<qsizetype>(spec.Caption.size())));
        menu->setObjectName(QString::fromUtf8(spec.Name.data(), static_cast<qsizetype>(spec.Name.size())));
        menus[static_cast<std::size_t>(spec.Id)] = menu;
    }
    for (const form::MenuCommandSpec& spec : form::MenuCommandTable()) {
        QMenu* menu = menus[static_cast<std::size_t>(spec.Parent)];
        if (spec.SeparatorBefore)
            menu->addSeparator();
        QAction* action =
            menu->addAction(QString::fromUtf8(spec.Caption.data(), static_cast<qsizetype>(spec.Caption.size())));
        action->setObjectName(QString::fromUtf8(spec.Name.data(), static_cast<qsizetype>(spec.Name.size())));
        action->setCheckable(spec.Checkable);
        if (const std::string keys = form::ShortcutText(spec.Id); !keys.empty())
            action->setShortcut(QKeySequence(QString::fromStdString(keys)));
        const form::MenuCommand command = spec.Id;
        connect(action, &QAction::triggered, this, [this, command] { MenuChosen(command); });
        actions_[static_cast<std::size_t>(spec.Id)] = action;
    }
}

void TForm1::CreateLog(QWidget* central) {
    memo_ = new QPlainTextEdit(central);
    memo_->setObjectName("Memo1");
    memo_->setReadOnly(true);
    memo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selecting by keyboard moves a cursor, but a read-only log shows none.
    memo_->setCursorWidth(0);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setUndoRedoEnabled(false);
    memo_->setFont(LogFont());
    widgets_[Index(Control::Memo1)] = memo_;
}

// The five group boxes of the panel, the stretching ones to its right edge.
void TForm1::ArrangePanel() {
    const int width = Widget(Control::Panel1)->width();
    for (const form::ControlSpec& spec : form::ControlTable()) {
        if (spec.Parent != Control::Panel1)
            continue;
        const form::Rect place = form::PlaceIn(spec, width);
        Widget(spec.Id)->setGeometry(place.Left, place.Top, place.Width, place.Height);
    }
}

void TForm1::SetTabOrder() {
    const std::vector<Control> order = form::TabOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(Widget(order[i - 1]), Widget(order[i]));
    memo_->setFocus();
}

} // namespace vandrel::ui

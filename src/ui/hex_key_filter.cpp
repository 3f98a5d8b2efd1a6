#include "ui/hex_key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

namespace vandrel::ui {

namespace {

// Whatever reaches the field (typed, pasted, restored) is turned to upper
// case and otherwise kept as it is, so that text which is not hexadecimal
// still reaches the dump, which reports it.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// Shortcuts (copy, paste, undo ...), keys without a character (arrows,
// Delete, Tab, Enter) and backspace are editing commands for the field
// itself, not typed text. A character that comes with Alt, AltGr (Ctrl+Alt)
// or Meta is typed text all the same: the field would insert it.
bool IsTypedText(const QKeyEvent& key) {
    const QString text = key.text();
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (text.isEmpty() || modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    if (text.size() == 1 && (text[0].unicode() < 0x20 || text[0].unicode() == 0x7F))
        return false;
    return true;
}

} // namespace

THexKeyFilter::THexKeyFilter(KeyPressRule rule, QObject* parent) : QObject(parent), rule_(rule) {}

void THexKeyFilter::Watch(QLineEdit* field) {
    field->setValidator(new TUpperCaseValidator(field));
    // Typed text comes as key presses only, so that the filter sees all of it.
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->installEventFilter(this);
}

bool THexKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!IsTypedText(key))
        return false;
    QString accepted;
    for (const QChar c : key.text()) {
        char typed = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\0';
        rule_(typed);
        if (typed != '\0' && typed != '\b')
            accepted += QChar(typed);
    }
    if (!accepted.isEmpty())
        field->insert(accepted);
    return true;
}

} // namespace vandrel::ui

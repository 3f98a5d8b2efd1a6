#pragma once
// The key filter of the hexadecimal fields. Every character typed into a
// watched field goes through a key-press rule first (the window's
// edtHexKeyPress), which may change it or drop it; the fields also show their
// text in upper case.
#include <QObject>

class QEvent;
class QLineEdit;

namespace vandrel::ui {

class THexKeyFilter : public QObject {
public:
    // `key` is the typed character; the rule sets it to 0 to drop it.
    using KeyPressRule = void (*)(char& key);

    THexKeyFilter(KeyPressRule rule, QObject* parent);
    // Puts `field` under the filter.
    void Watch(QLineEdit* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyPressRule rule_;
};

} // namespace vandrel::ui

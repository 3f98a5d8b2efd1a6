#pragma once
// Building blocks of the window: controls placed at fixed pixel positions for
// the window's font, the framed group box, the port drop-down and the fonts.
#include <functional>

#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vandrel::ui {

constexpr int kEditHeight = 20;
constexpr int kButtonHeight = 21;
constexpr int kCheckHeight = 17;

// A group box whose caption sits on the top line of its frame, so that the
// controls keep their places from the top edge of the box. The step groups
// have no caption: their "All" box takes its place.
class TFrameGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The port drop-down: runs a hook each time its list is about to open.
class TPortComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    // Returns false to keep the list closed.
    std::function<bool()> OnDropDown;
    void showPopup() override;
};

// A label at `left`, `top`, as wide as its caption and at least `width` when given.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width = -1);
// A check box never narrower than its caption.
QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width);
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width);
QLineEdit* MakeEdit(QWidget* parent, const QString& name, int left, int top, int width);
// A drop-down list that cannot be edited.
template <class List = QComboBox>
List* MakeList(QWidget* parent, const QString& name, int left, int top, int width) {
    auto* list = new List(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->setGeometry(left, top, width, kEditHeight);
    return list;
}
TFrameGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption);

// The 12-pixel Japanese proportional font where the system has it, else the
// system's own font one pixel smaller.
QFont WindowFont();
// The fixed-pitch font of the log.
QFont LogFont();

} // namespace vandrel::ui

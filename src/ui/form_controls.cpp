#include "ui/form_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <qdrawutil.h>

#include <algorithm>

namespace vandrel::ui {

void TFrameGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    // An etched line, drawn here: styles place their own group frame below
    // a caption.
    qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true, 1,
                   0);
    if (title().isEmpty())
        return;
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}

void TPortComboBox::showPopup() {
    if (OnDropDown && !OnDropDown())
        return;
    QComboBox::showPopup();
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                  int width) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->adjustSize();
    label->move(left, top);
    if (width >= 0)
        label->resize(std::max(width, label->width()), label->height());
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    // Never narrower than the caption in the font of this system.
    box->setGeometry(left, top, std::max(width, box->sizeHint().width()), kCheckHeight);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                        int top, int width) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(left, top, width, kButtonHeight);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, kEditHeight);
    return edit;
}

TFrameGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption) {
    auto* group = new TFrameGroupBox(caption, parent);
    group->setObjectName(name);
    return group;
}

// The controls are placed for the 12-pixel Japanese font.
QFont WindowFont() {
    if (QFontDatabase::families().contains("ＭＳ Ｐゴシック")) {
        QFont font("ＭＳ Ｐゴシック");
        font.setPixelSize(12);
        return font;
    }
    // The default fonts of most systems run wider than the Japanese
    // proportional font; one pixel less keeps the captions inside their boxes.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    return font;
}

QFont LogFont() {
    QFont font = QFontDatabase::families().contains("ＭＳ ゴシック")
                     ? QFont("ＭＳ ゴシック")
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    return font;
}

} // namespace vandrel::ui

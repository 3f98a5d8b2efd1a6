#include "ui/status_bar.h"

#include <QLabel>
#include <QProgressBar>

namespace vandrel::ui {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("StatusBar1");
    setSizeGripEnabled(false);
    setFixedHeight(kHeight);
    panel0_ = new QLabel(this);
    panel0_->setObjectName("StatusPanel0");
    panel0_->setFixedWidth(kPanel0Width);
    panel1_ = new QLabel(this);
    panel1_->setObjectName("StatusPanel1");
    panel1_->setFixedWidth(kPanel1Width);
    addWidget(panel0_);
    addWidget(panel1_);
}

void TStatusBar::ShowStatus(const QString& text) {
    panel0_->setText(text);
}

QString TStatusBar::StatusText() const {
    return panel0_->text();
}

void TStatusBar::CreateProgressBar() {
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("ProgressBar");
    progressBar_->setTextVisible(false);
    ApplyProgress();
    PlaceProgressBar();
    progressBar_->show();
    progressBar_->raise();
}

void TStatusBar::DestroyProgressBar() {
    delete progressBar_;
    progressBar_ = nullptr;
}

void TStatusBar::PlaceProgressBar() {
    if (!progressBar_)
        return;
    const form::Rect place = form::ProgressBarRect({width(), height()});
    progressBar_->setGeometry(place.Left, place.Top, place.Width, place.Height);
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    PlaceProgressBar();
}

void TStatusBar::ApplyProgress() {
    if (!progressBar_)
        return;
    // The text stands for itself (no per cent sign is put in).
    progressBar_->setFormat(text_);
    progressBar_->setTextVisible(!text_.isEmpty());
    progressBar_->setAlignment(Qt::AlignCenter);
    // A bar whose range is empty shows empty (Qt would animate it as busy).
    if (max_ > min_) {
        progressBar_->setRange(min_, max_);
        progressBar_->setValue(position_);
    } else {
        progressBar_->setRange(0, 1);
        progressBar_->setValue(0);
    }
}

void TStatusBar::ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position) {
    min_ = min;
    max_ = max;
    position_ = position;
    ApplyProgress();
}

void TStatusBar::ShowProgressText(const QString& text) {
    text_ = text;
    ApplyProgress();
}

} // namespace vandrel::ui

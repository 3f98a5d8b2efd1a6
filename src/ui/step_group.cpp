#include "ui/step_group.h"

#include <QCheckBox>

namespace vandrel::ui {

TStepGroup::TStepGroup(QWidget* parent, const QString& step, const QString& allCaption, int left,
                       const std::array<int, 4>& widths)
    : TFrameGroupBox(parent) {
    setObjectName("Grp" + step);
    setGeometry(left, kTop, kWidth, kHeight);
    const auto name = [&](const char* part) { return "cb" + step + part; };
    all_ = MakeCheckBox(this, name("All"), allCaption, 2, 0, widths[0]);
    members_ = {
        MakeCheckBox(this, name("Program"), "Program", 8, 16, widths[1]),
        MakeCheckBox(this, name("ConfigurationMemory"), "Config", 8, 32, widths[2]),
        MakeCheckBox(this, name("DataMemory"), "Data", 8, 48, widths[3]),
    };
    // On the frame line, which it hides like a caption.
    all_->setAutoFillBackground(true);
    all_->raise();
}

void TStepGroup::AllClick() {
    if (!all_->isChecked())
        return;
    for (QCheckBox* member : members_)
        member->setChecked(true);
}

void TStepGroup::MemberClick(QCheckBox* sender) {
    if (!sender->isChecked())
        all_->setChecked(false);
}

} // namespace vandrel::ui

#pragma once
// One step of the programming run (erase, write or verify) over the three
// memory areas: a captionless framed box whose "All" box sits on its top line
// in place of a caption, above the members "Program", "Config" and "Data".
#include <array>

#include <QString>

#include "ui/form_controls.h"

class QCheckBox;

namespace vandrel::ui {

class TStepGroup : public TFrameGroupBox {
public:
    static constexpr int kTop = 16;
    static constexpr int kWidth = 81;
    static constexpr int kHeight = 72;

    // The group "Grp<step>" at `left` in `parent`, holding "cb<step>All" with
    // `allCaption` and the members "cb<step>Program",
    // "cb<step>ConfigurationMemory" and "cb<step>DataMemory". `widths` are
    // those of the All box and of the three members, in that order.
    TStepGroup(QWidget* parent, const QString& step, const QString& allCaption, int left,
               const std::array<int, 4>& widths);

    QCheckBox* All() const { return all_; }
    QCheckBox* Program() const { return members_[0]; }
    QCheckBox* Config() const { return members_[1]; }
    QCheckBox* Data() const { return members_[2]; }
    const std::array<QCheckBox*, 3>& Members() const { return members_; }

    // The rules of the group, run on every change of a box by the user or by
    // the program: ticking All ticks the three members (a hidden one too);
    // unticking a member unticks All. Nothing else: unticking All leaves the
    // members, and ticking every member leaves All unticked.
    void AllClick();
    void MemberClick(QCheckBox* sender);

private:
    QCheckBox* all_ = nullptr;
    std::array<QCheckBox*, 3> members_{};
};

} // namespace vandrel::ui

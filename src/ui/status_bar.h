#pragma once
// The window's status bar: panel 0 carries the status text, panel 1 stays
// blank, and the progress bar lies over the bar from panel 0's right edge to
// the bar's right edge.
#include <cstdint>

#include <QStatusBar>
#include <QString>

#include "form/control_table.h"

class QLabel;
class QProgressBar;

namespace vandrel::ui {

class TStatusBar : public QStatusBar {
public:
    static constexpr int kHeight = form::kStatusBarHeight;
    static constexpr int kPanel0Width = form::kStatusPanel0Width;
    static constexpr int kPanel1Width = form::kStatusPanel1Width;

    explicit TStatusBar(QWidget* parent);

    QLabel* Panel0() const { return panel0_; }
    QLabel* Panel1() const { return panel1_; }
    void ShowStatus(const QString& text);
    QString StatusText() const;

    // The progress bar lives from CreateProgressBar to DestroyProgressBar.
    void CreateProgressBar();
    void DestroyProgressBar();
    QProgressBar* ProgressBar() const { return progressBar_; }
    void PlaceProgressBar();
    // Shows `position` within `min`..`max` (kept when there is no bar yet).
    void ShowProgress(std::int32_t min, std::int32_t max, std::int32_t position);
    // A text on the bar; empty: none (kept when there is no bar yet).
    void ShowProgressText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyProgress();

    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    std::int32_t min_ = 0;
    std::int32_t max_ = 100;
    std::int32_t position_ = 0;
    QString text_;
};

} // namespace vandrel::ui

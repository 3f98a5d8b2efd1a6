#pragma once
// The window's status bar: panel 0 carries the status text, panel 1 stays
// blank, and the progress bar lies over the bar from panel 0's right edge to
// the bar's right edge.
#include <cstdint>

#include <QStatusBar>
#include <QString>

class QLabel;
class QProgressBar;

namespace vandrel::ui {

class TStatusBar : public QStatusBar {
public:
    static constexpr int kHeight = 19;
    static constexpr int kPanel0Width = 250;
    static constexpr int kPanel1Width = 50;

    explicit TStatusBar(QWidget* parent);

    QLabel* Panel0() const { return panel0_; }
    QLabel* Panel1() const { return panel1_; }
    void ShowStatus(const QString& text);
    QString StatusText() const;

    // The progress bar lives from CreateProgressBar to DestroyProgressBar;
    // the progress calls below keep their values without it.
    void CreateProgressBar();
    void DestroyProgressBar();
    QProgressBar* ProgressBar() const { return progressBar_; }
    void PlaceProgressBar();

    // The position stays within the range; a minimum above the maximum moves
    // the maximum up to it, and the other way round.
    void SetProgressMin(std::int32_t value);
    void SetProgressMax(std::int32_t value);
    void SetProgressPosition(std::int32_t value);
    std::int32_t ProgressPosition() const { return position_; }
    std::int32_t ProgressMax() const { return max_; }

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
};

} // namespace vandrel::ui

#pragma once

#include <QWidget>

namespace zm {

// The alarm windows' beacon: three lamps drawn by our own code. The first image set shows
// them dark; the second lit, in red (variant 0) or in red and amber by turns (variant 1;
// the list option bOpts[1] chooses). Flashing alternates the two sets.
class CFlashImage : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFrames = 3;

    explicit CFlashImage(QWidget* parent = nullptr);

    // 0: the first (dark) set; 1: the second (lit) set.
    void ShowSet(int set);
    int CurrentSet() const { return set_; }
    void SetSecondSetVariant(int variant);
    int SecondSetVariant() const { return variant_; }

    // The lamp colour of one frame in one set (for the painting and its tests).
    QColor LampColour(int set, int frame) const;

    void Render(QPainter& painter, QSize size) const;
    QSize sizeHint() const override { return {96, 40}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int set_ = 0;
    int variant_ = 0;
};

}  // namespace zm

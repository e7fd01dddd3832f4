#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace zm {

// A plain panel saying why something is not there ("Embedded viewer is disabled"): its
// background colour, with the frame flag a hatch of rising diagonal lines in the
// button-face colour over it, and its text centred on one line.
class CVoidView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHatchSpacing = 8;

    explicit CVoidView(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void SetBackground(const QColor& colour);
    void SetFrame(bool on);

    QString Text() const { return text_; }
    QColor Background() const { return background_; }
    bool HasFrame() const { return frame_; }

    // What paintEvent shows, into any painter of the given size.
    void Render(QPainter& painter, QSize size) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QColor background_{255, 255, 255};
    bool frame_ = true;
};

}  // namespace zm

#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QToolBar>

class QAction;
class QPushButton;

namespace zm {

// Where a caption button lies over its toolbar slot: moved 45 pixels to the left, as wide
// as its caption plus 20 pixels but at least 100.
QRect CaptionButtonRect(const QRect& slot, int captionWidth);

// The main window's toolbar: the hidden buttons 57665, 1103, 1104 and 57664, the Quit
// image button 1107, and the caption buttons 1100, 1101 and 1102, each a push button laid
// over its own slot. The button whose position equals the shown view's index is bold.
class CCaptionToolBar final : public QToolBar {
    Q_OBJECT
  public:
    static constexpr int kShift = 45;
    static constexpr int kPadding = 20;
    static constexpr int kMinWidth = 100;
    static constexpr int kButtonCount = 5;  // 1100..1104; the last two have no caption

    explicit CCaptionToolBar(QWidget* parent = nullptr);

    // Captions of 1100..1104 (empty: the button stays hidden).
    void SetCaptions(const QStringList& captions);
    // Marks the button at this position bold and the one marked before normal.
    void MarkButton(int index);
    int MarkedButton() const { return marked_; }

    QPushButton* Button(int index) const { return buttons_.value(index, nullptr); }
    QAction* QuitAction() const { return quit_; }

  signals:
    void Command(int id);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceButtons();

    QAction* quit_ = nullptr;
    QList<QWidget*> slots_;
    QList<QAction*> slotActions_;
    QList<QPushButton*> buttons_;
    QFont normal_;
    QFont bold_;
    int marked_ = -1;
};

}  // namespace zm

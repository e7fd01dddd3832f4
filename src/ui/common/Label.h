#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QMargins>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

namespace zm {

// The static text of the views' title lines and captions: colours, a gradient background,
// font, emboss, rotation and margins set at run time, a blinking text, and a link that
// opens its target with the system's handler. Every setter redraws at once and returns
// the label, so settings chain. Its text and role (text or link) reach accessibility tools.
class CLabel : public QWidget {
    Q_OBJECT

  public:
    // Where the text sits (the control's alignment style).
    enum class TextLayout {
        kLeftWrap,    // left, word wrap (the default)
        kLeftNoWrap,  // left, one line
        kCentred,     // centred, word wrap
        kRight,       // right, word wrap
    };

    static constexpr int kBlinkMs = 500;
    static constexpr int kMaxGradientStrips = 100;
    // The notification code the parent hears after a click on a link with notify set.
    static constexpr int kLinkNotifyCode = 0x8200;

    explicit CLabel(QWidget* parent = nullptr);
    explicit CLabel(const QString& text, QWidget* parent = nullptr);
    ~CLabel() override;

    // An invalid colour means "none": the system's button-face colour is painted. With the
    // gradient flag the background steps from colour (left) to second (right).
    virtual CLabel& SetBackground(const QColor& colour, const QColor& second = QColor(0, 0, 0),
                                  bool gradient = false);
    virtual CLabel& SetTextColour(const QColor& colour);
    virtual CLabel& SetLabelText(const QString& text);
    virtual CLabel& SetLabelText(const std::string& text);  // UTF-8
    virtual CLabel& SetWeightBold(bool on);
    virtual CLabel& SetFaceName(const QString& face);
    virtual CLabel& SetUnderlined(bool on);
    virtual CLabel& SetItalics(bool on);
    virtual CLabel& SetPointSize(int points);
    virtual CLabel& SetStaticEdge(bool on);  // sunken edge
    virtual CLabel& SetFrameLine(bool on);   // thin border
    virtual CLabel& SetSeeThrough(bool on);  // no background: the parent shows through
    virtual CLabel& SetTextBlink(bool on);
    virtual CLabel& SetBackgroundBlink(bool on);  // kept for its switch; nothing visible
    // A click opens the target, or the label's own text when the target is empty; with
    // notify the LinkNotify signal follows.
    virtual CLabel& SetLinkTarget(const QString& target, bool notify = false);
    virtual CLabel& SetNoLink();
    virtual CLabel& SetHoverCursor(const QCursor& cursor);
    // Direction 0: the shadow lies one pixel right and below; any other: left and above.
    virtual CLabel& SetEmboss(bool on, int direction = 0);
    virtual CLabel& SetTurnAngle(int degrees, bool rotate);
    virtual CLabel& SetEmbossColour(const QColor& colour);
    virtual CLabel& SetMargins(int left, int top, int right, int bottom);

    CLabel& SetTextLayout(TextLayout layout);
    // Centred both ways on one line (only horizontally when the text has line breaks).
    CLabel& SetCentreImage(bool on);
    // A link whose target is read at the moment of the click (an address that changes
    // while the label lives); an empty answer makes the click do nothing.
    CLabel& SetLinkTargetSource(std::function<QString()> source, bool notify = false);

    QString LabelText() const { return text_; }
    bool IsLink() const { return link_; }
    QString LinkTarget() const { return linkTarget_; }
    bool IsBlinking() const { return blinkTimer_.isActive(); }
    // Off: the blinking text is hidden.
    bool BlinkPhase() const { return blinkPhase_; }
    QColor TextColour() const;
    QFont LabelFont() const { return labelFont_; }

    // Draws the whole label into a painter of the given size (what paintEvent shows).
    void Render(QPainter& painter, QSize size) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // A link with notify set was clicked (after its target was opened).
    void LinkNotify(int code);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Changed();
    void PaintBackground(QPainter& painter, QSize size) const;
    void PaintText(QPainter& painter, const QRect& area) const;
    int TextFlags() const;
    void UpdateAccessibility();

    QString text_;
    std::optional<QColor> textColour_;  // none: the system's window-text colour
    QColor background_;                 // invalid: none
    QColor second_{0, 0, 0};
    bool gradient_ = false;
    QFont labelFont_;
    bool seeThrough_ = false;
    bool staticEdge_ = false;
    bool frameLine_ = false;
    int blinkType_ = 0;  // 1 text, 2 background
    bool blinkPhase_ = true;
    QTimer blinkTimer_;
    bool link_ = false;
    QString linkTarget_;
    std::function<QString()> linkSource_;
    bool notify_ = false;
    bool emboss_ = false;
    int embossDirection_ = 0;
    QColor embossColour_{255, 255, 255};
    bool rotate_ = false;
    int angleTenths_ = 0;
    QMargins margins_;
    TextLayout layout_ = TextLayout::kLeftWrap;
    bool centreImage_ = false;
};

}  // namespace zm

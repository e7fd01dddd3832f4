#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zm {

// The numeric edit box without its widget: one value in a range with a fixed number of
// decimals, typed-character filtering, stepping, commit and revert. The widget mirrors
// the box's text here and forwards keys, characters, the wheel and the loss of focus.
class CCoolEditModel {
  public:
    // What caused the latest change.
    enum Action {
        kActionOther = 0,
        kActionFocusLost = 8,
        kActionEnter = 13,
        kActionEscape = 27,
        kActionUp = 38,
        kActionDown = 40,
        kActionChar = 258,
        kActionWheel = 522,
    };
    enum class Key { kEnter, kEscape, kUp, kDown, kBackspace, kDelete, kOther };

    // False when the decimals had to be clamped to -3..5 or a non-zero step was below
    // one unit of the last decimal.
    bool SetRange(double minimum, double maximum, int decimals, double step);
    // The value clamped and rounded; false when x lay outside the range.
    bool SetValue(double x, bool notify);
    double GetValue() const { return value_; }
    int GetLastAction() const { return lastAction_; }
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    int Decimals() const { return decimals_; }
    double Step() const { return step_; }
    double TypedValue() const { return typed_; }
    bool IsEdited() const { return edited_; }
    const std::string& Text() const { return text_; }
    std::string FormatValue(double v) const;

    // A key press; true when the key is consumed. heldModifiers counts the Shift and Ctrl
    // keys held (each multiplies a step by 10).
    bool OnKey(Key key, int heldModifiers);
    void OnWheel(int delta, int heldModifiers);
    // A typed character against the box's text and selection; false when it is refused.
    bool OnChar(char32_t ch, std::string_view text, int selectionStart, int selectionEnd);
    // The box's text after the user changed it.
    void OnUserText(std::string_view text);
    void OnFocusLost();
    // One step up (+1) or down (-1); false when the value ran into the range's end.
    bool StepBy(int direction, int heldModifiers);

    // The widget shows `text` (the rewrite's own change notification is the widget's).
    std::function<void(const std::string& text)> onRewrite;
    // The parent's change notification.
    std::function<void()> onNotify;

  private:
    bool Commit();
    void Rewrite(bool notify);
    void Notify();

    double value_ = 0;
    double minimum_ = -10;
    double maximum_ = 1000;
    int decimals_ = 0;
    double unit_ = 1;
    double step_ = 1;
    double typed_ = -32755;
    bool edited_ = false;
    int lastAction_ = kActionOther;
    std::string allowed_ = "0123456789.-";
    std::string text_;
};

}  // namespace zm

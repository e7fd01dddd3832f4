#pragma once

#include <QLineEdit>

#include "plot/model/CoolEditModel.h"

namespace zm {

// Single-line edit of one number within a range: filters typed characters, steps with Up,
// Down and the wheel (x10 for each of Shift and Ctrl held), commits on Enter or loss of
// focus, reverts on Escape, and reports every change with what caused it.
class CCoolEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CCoolEdit(QWidget* parent = nullptr);

    bool SetRange(double minimum, double maximum, int decimals, double step = 0);
    bool SetValue(double x, bool notify = true);
    double GetValue() const { return model_.GetValue(); }
    int GetLastAction() const { return model_.GetLastAction(); }
    const CCoolEditModel& Model() const { return model_; }

  signals:
    // The parent's change notification; read GetLastAction and GetValue.
    void Changed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    static int HeldModifiers(Qt::KeyboardModifiers modifiers);

    CCoolEditModel model_;
};

}  // namespace zm

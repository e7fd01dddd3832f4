#include "plot/CoolEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QWheelEvent>

namespace zm {

CCoolEdit::CCoolEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    model_.onRewrite = [this](const std::string& text) { setText(QString::fromStdString(text)); };
    model_.onNotify = [this] { emit Changed(); };
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.OnUserText(text.toStdString()); });
    model_.SetValue(0, false);
}

bool CCoolEdit::SetRange(double minimum, double maximum, int decimals, double step) {
    return model_.SetRange(minimum, maximum, decimals, step);
}

bool CCoolEdit::SetValue(double x, bool notify) {
    return model_.SetValue(x, notify);
}

int CCoolEdit::HeldModifiers(Qt::KeyboardModifiers modifiers) {
    // Qt does not tell the left keys from the right ones: each held kind counts once.
    return ((modifiers & Qt::ShiftModifier) ? 1 : 0) + ((modifiers & Qt::ControlModifier) ? 1 : 0);
}

void CCoolEdit::keyPressEvent(QKeyEvent* event) {
    using Key = CCoolEditModel::Key;
    Key key = Key::kOther;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = Key::kEnter;
            break;
        case Qt::Key_Escape:
            key = Key::kEscape;
            break;
        case Qt::Key_Up:
            key = Key::kUp;
            break;
        case Qt::Key_Down:
            key = Key::kDown;
            break;
        case Qt::Key_Backspace:
            key = Key::kBackspace;
            break;
        case Qt::Key_Delete:
            key = Key::kDelete;
            break;
        default:
            break;
    }
    if (model_.OnKey(key, HeldModifiers(event->modifiers()))) {
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (key == Key::kOther && typed.size() == 1 && !(event->modifiers() & Qt::ControlModifier)) {
        char32_t ch = typed.at(0).unicode();
        int start = hasSelectedText() ? selectionStart() : cursorPosition();
        int end = hasSelectedText() ? selectionStart() + int(selectedText().size()) : start;
        if (!model_.OnChar(ch, text().toStdString(), start, end)) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CCoolEdit::wheelEvent(QWheelEvent* event) {
    int delta = event->angleDelta().y();
    if (delta == 0) {
        delta = event->angleDelta().x();
    }
    model_.OnWheel(delta, HeldModifiers(event->modifiers()));
    event->accept();
}

void CCoolEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (isVisible()) {
        model_.OnFocusLost();
    }
}

}  // namespace zm

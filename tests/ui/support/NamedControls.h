#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace zm::test {

// Controls of the window without an objectName (tests and accessibility tools find
// controls by it). The insides of composite controls (a list's scroll bars, a combo box's
// popup) are theirs, not ours.
inline QStringList UnnamedControls(QWidget& window) {
    QStringList unnamed;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        bool inside = false;
        for (QWidget* up = child->parentWidget(); up && up != &window; up = up->parentWidget()) {
            inside = inside || qobject_cast<QAbstractScrollArea*>(up) ||
                     qobject_cast<QComboBox*>(up) || qobject_cast<QAbstractSpinBox*>(up);
        }
        const bool control =
            qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
            qobject_cast<QComboBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QAbstractScrollArea*>(child) || child->inherits("zm::CLabel");
        if (control && !inside && child->objectName().isEmpty()) {
            unnamed << QString::fromLatin1(child->metaObject()->className()) + " '" +
                           child->accessibleName() + "'";
        }
    }
    return unnamed;
}

}  // namespace zm::test

#include "ui/common/Accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "ui/common/Label.h"

namespace zm {
namespace {

// A label is a link while it opens something on a click, a static text otherwise.
class LabelAccessible : public QAccessibleWidget {
  public:
    explicit LabelAccessible(CLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QAccessible::Role role() const override {
        const auto* label = static_cast<const CLabel*>(widget());
        return label->IsLink() ? QAccessible::Link : QAccessible::StaticText;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return static_cast<const CLabel*>(widget())->LabelText();
        }
        return QAccessibleWidget::text(t);
    }
};

// Qt's application object leaves popups out of its children, so a context menu, a combo
// box's list or a tool tip cannot be found from the application while it is open: an
// assistive tool walking the tree never sees the menu the operator sees. This one lists
// every top-level window that has an accessible root, popups included.
class ApplicationAccessible : public QAccessibleApplication {
  public:
    int childCount() const override { return int(Roots().size()); }
    QAccessibleInterface* child(int index) const override {
        const QObjectList roots = Roots();
        if (index < 0 || index >= roots.size()) {
            return nullptr;
        }
        return QAccessible::queryAccessibleInterface(roots.at(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child ? int(Roots().indexOf(child->object())) : -1;
    }

  private:
    static QObjectList Roots() {
        QObjectList roots;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            // A closed popup stays a hidden window; it is not there for the operator.
            if (window->type() == Qt::Desktop ||
                (window->type() == Qt::Popup && !window->isVisible())) {
                continue;
            }
            if (QAccessibleInterface* root = window->accessibleRoot(); root && root->object()) {
                roots.append(root->object());
            }
        }
        return roots;
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (object != nullptr && object == qApp && className == QLatin1String("QApplication")) {
        return new ApplicationAccessible;
    }
    // Only our own classes are touched: Qt asks for every object, also for the web
    // views' internal ones, whose type the sanitizers cannot check.
    const bool label = className == QLatin1String("zm::CLabel");
    const bool panel = className == QLatin1String("zm::CVoidView");
    const bool image = className == QLatin1String("zm::CFlashImage");
    if (!object || !(label || panel || image) || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (label) {
        return new LabelAccessible(static_cast<CLabel*>(widget));
    }
    return new QAccessibleWidget(widget, panel ? QAccessible::StaticText : QAccessible::Graphic);
}

}  // namespace

void InstallAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

}  // namespace zm

#include "ui/common/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

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

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("zm::CLabel")) {
        return new LabelAccessible(static_cast<CLabel*>(widget));
    }
    if (className == QLatin1String("zm::CVoidView")) {
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    }
    if (className == QLatin1String("zm::CFlashImage")) {
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    }
    return nullptr;
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

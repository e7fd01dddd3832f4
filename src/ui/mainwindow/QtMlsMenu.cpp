#include "ui/mainwindow/QtMlsMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace zm {
namespace {

constexpr const char* kEntryProperty = "zmMlsEntry";

std::vector<QAction*> ItemsOf(const QList<QAction*>& actions) {
    return {actions.begin(), actions.end()};
}

}  // namespace

CQtMlsMenu::CQtMlsMenu(QMenuBar* bar) : actions_(ItemsOf(bar->actions())) {
    subMenus_.resize(actions_.size());
}

CQtMlsMenu::CQtMlsMenu(QMenu* menu) : actions_(ItemsOf(menu->actions())) {
    subMenus_.resize(actions_.size());
}

CQtMlsMenu::~CQtMlsMenu() = default;

int CQtMlsMenu::GetItemCount() const {
    return static_cast<int>(actions_.size());
}

std::string CQtMlsMenu::GetItemCaption(int index) const {
    return actions_.at(static_cast<size_t>(index))->text().toStdString();
}

void CQtMlsMenu::SetItemCaption(int index, const std::string& caption) {
    actions_.at(static_cast<size_t>(index))->setText(QString::fromStdString(caption));
}

const CMlsEntry* CQtMlsMenu::GetItemEntry(int index) const {
    return EntryOf(actions_.at(static_cast<size_t>(index)));
}

void CQtMlsMenu::SetItemEntry(int index, const CMlsEntry* entry) {
    actions_.at(static_cast<size_t>(index))
        ->setProperty(kEntryProperty, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
}

IMlsMenu* CQtMlsMenu::GetSubMenu(int index) {
    const auto i = static_cast<size_t>(index);
    QMenu* menu = actions_.at(i)->menu();
    if (menu == nullptr) {
        return nullptr;
    }
    if (!subMenus_[i]) {
        subMenus_[i] = std::make_unique<CQtMlsMenu>(menu);
    }
    return subMenus_[i].get();
}

void CQtMlsMenu::Tag(QAction* action, const CMlsEntry* entry) {
    action->setProperty(kEntryProperty, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
}

const CMlsEntry* CQtMlsMenu::EntryOf(const QAction* action) {
    const QVariant value = action->property(kEntryProperty);
    return value.isValid() ? reinterpret_cast<const CMlsEntry*>(value.value<quintptr>()) : nullptr;
}

}  // namespace zm

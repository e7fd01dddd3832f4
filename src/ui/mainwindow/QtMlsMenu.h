#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/MlsMenu.h"

class QAction;
class QMenu;
class QMenuBar;

namespace zm {

// The translation service's view of a Qt menu: every action is an item; an action with a
// menu is a submenu. The entry a tagged item carries is kept on the action itself, so a
// later retranslation finds it again however often the adapter is rebuilt.
class CQtMlsMenu final : public IMlsMenu {
  public:
    explicit CQtMlsMenu(QMenuBar* bar);
    explicit CQtMlsMenu(QMenu* menu);
    ~CQtMlsMenu() override;

    int GetItemCount() const override;
    std::string GetItemCaption(int index) const override;
    void SetItemCaption(int index, const std::string& caption) override;
    const CMlsEntry* GetItemEntry(int index) const override;
    void SetItemEntry(int index, const CMlsEntry* entry) override;
    IMlsMenu* GetSubMenu(int index) override;

    // Tags an action ahead of the service's tagging, for an entry the menu catalogue lacks.
    static void Tag(QAction* action, const CMlsEntry* entry);
    // The entry an action was tagged with, or null.
    static const CMlsEntry* EntryOf(const QAction* action);

  private:
    std::vector<QAction*> actions_;
    std::vector<std::unique_ptr<CQtMlsMenu>> subMenus_;  // made on first visit
};

}  // namespace zm

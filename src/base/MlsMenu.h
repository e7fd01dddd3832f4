#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/MlsEntry.h"

namespace zm {

// A menu as the translation service sees it: items with a caption, an optional entry as
// item data and an optional submenu. The GUI adapts its menu bar to this; CMlsMenuTree is
// a plain in-memory menu for the headless server and tests.
class IMlsMenu {
  public:
    virtual ~IMlsMenu() = default;
    virtual int GetItemCount() const = 0;
    virtual std::string GetItemCaption(int index) const = 0;
    virtual void SetItemCaption(int index, const std::string& caption) = 0;
    virtual const CMlsEntry* GetItemEntry(int index) const = 0;
    virtual void SetItemEntry(int index, const CMlsEntry* entry) = 0;
    // The item's submenu, or null for a plain command item.
    virtual IMlsMenu* GetSubMenu(int index) = 0;
};

class CMlsMenuTree : public IMlsMenu {
  public:
    struct Item {
        std::string caption;
        const CMlsEntry* entry = nullptr;
        std::unique_ptr<CMlsMenuTree> subMenu;
    };

    // Appends a command item; returns *this for chaining.
    CMlsMenuTree& Add(const std::string& caption);
    // Appends a submenu item and returns the new submenu.
    CMlsMenuTree& AddSubMenu(const std::string& caption);

    Item& At(int index) { return items_.at(static_cast<size_t>(index)); }
    const Item& At(int index) const { return items_.at(static_cast<size_t>(index)); }

    int GetItemCount() const override { return static_cast<int>(items_.size()); }
    std::string GetItemCaption(int index) const override { return At(index).caption; }
    void SetItemCaption(int index, const std::string& caption) override {
        At(index).caption = caption;
    }
    const CMlsEntry* GetItemEntry(int index) const override { return At(index).entry; }
    void SetItemEntry(int index, const CMlsEntry* entry) override { At(index).entry = entry; }
    IMlsMenu* GetSubMenu(int index) override { return At(index).subMenu.get(); }

  private:
    std::vector<Item> items_;
};

}  // namespace zm

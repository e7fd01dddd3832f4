#include "base/MlsMenu.h"

namespace zm {

CMlsMenuTree& CMlsMenuTree::Add(const std::string& caption) {
    items_.push_back(Item{caption, nullptr, nullptr});
    return *this;
}

CMlsMenuTree& CMlsMenuTree::AddSubMenu(const std::string& caption) {
    items_.push_back(Item{caption, nullptr, std::make_unique<CMlsMenuTree>()});
    return *items_.back().subMenu;
}

}  // namespace zm

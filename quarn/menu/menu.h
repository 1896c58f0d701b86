#pragma once

#include <string>

namespace Quarn {
namespace Menuing {

/// A menu of items, separators and submenus. Linux has no native menus:
/// building one is accepted and does nothing. A menu's address identifies it
/// in the EventFrameMenuItem its items would deliver.
class Menu {
public:
    /// An empty menu.
    Menu() {}
    ~Menu() {}

    /// Appends a separator line.
    void append_separator() {}

    /// Appends `sub_menu` under the label `name`, with `mnemonic` marked as its
    /// keyboard shortcut. Widens `name` and `mnemonic` byte by byte.
    void append_submenu(const Menu* sub_menu, const std::string& name, char mnemonic);
    /// The wide twin of append_submenu, which native menus would implement.
    void append_submenu(const Menu* sub_menu, const std::wstring& name, wchar_t mnemonic);

    /// Appends an item labelled `name`; choosing it would deliver
    /// EventFrameMenuItem carrying `optional_data`. Widens byte by byte.
    void append_item(const std::string& name, char mnemonic, void* optional_data);
    /// The wide twin of append_item, which native menus would implement.
    void append_item(const std::wstring& name, wchar_t mnemonic, void* optional_data);
};

}  // namespace Menuing
}  // namespace Quarn

#include "quarn/menu/menu.h"

#include "quarn/helpers.h"

namespace Quarn {
namespace Menuing {

void Menu::append_submenu(const Menu* sub_menu, const std::string& name, char mnemonic) {
    append_submenu(sub_menu, _quarn_to_wstring(name), _quarn_to_wchar(mnemonic));
}

// The wide overloads are where native menus would be built; Linux has none.
void Menu::append_submenu(const Menu*, const std::wstring&, wchar_t) {}

void Menu::append_item(const std::string& name, char mnemonic, void* optional_data) {
    append_item(_quarn_to_wstring(name), _quarn_to_wchar(mnemonic), optional_data);
}

void Menu::append_item(const std::wstring&, wchar_t, void*) {}

}  // namespace Menuing
}  // namespace Quarn

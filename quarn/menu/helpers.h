#pragma once

#include <map>
#include <string>

namespace Quarn {
namespace Menuing {

class Menu;

/// What a chosen menu item tells its frame: the menu holding the item and the
/// application's datum for it.
struct _quarn_CallbackInfo {
    Menu* originator = nullptr;     ///< The menu holding the item (not owned).
    void* optional_data = nullptr;  ///< The application's datum, handed back unchanged.
};

/// Menu item id to its callback record. Empty on Linux: no native menus
/// register items.
extern std::map<int, _quarn_CallbackInfo>* _quarn_menu_callbacks;

/// Creates the empty menu-callback registry (called by Quarn::init).
void _quarn_init();

/// Destroys the menu-callback registry (called by Quarn::deinit).
void _quarn_deinit();

/// Returns `name` with "&" inserted before the first `mnemonic` (case
/// sensitive). A non-zero mnemonic that does not occur prints the warning
/// "Mnemonic not found!" and the name comes back unmarked.
std::wstring _quarn_get_name(const std::wstring& name, wchar_t mnemonic);

/// The narrow twin: widens `name` and `mnemonic` byte by byte (sign-extended)
/// and calls the wide overload.
std::wstring _quarn_get_name(const std::string& name, char mnemonic);

}  // namespace Menuing
}  // namespace Quarn

#include "quarn/menu/helpers.h"

#include "quarn/helpers.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Menuing {

std::map<int, _quarn_CallbackInfo>* _quarn_menu_callbacks = nullptr;

void _quarn_init() { _quarn_menu_callbacks = new std::map<int, _quarn_CallbackInfo>(); }

void _quarn_deinit() {
    delete _quarn_menu_callbacks;
    _quarn_menu_callbacks = nullptr;
}

std::wstring _quarn_get_name(const std::wstring& name, wchar_t mnemonic) {
    std::wstring name2;
    name2.reserve(name.size() + 1);
    bool found = false;
    for (const wchar_t c : name) {
        if (!found && c == mnemonic) {
            name2 += L'&';
            found = true;
        }
        name2 += c;
    }
    if (mnemonic != 0 && !found) _quarn_print_warning("Mnemonic not found!");
    return name2;
}

std::wstring _quarn_get_name(const std::string& name, char mnemonic) {
    return _quarn_get_name(_quarn_to_wstring(name), _quarn_to_wchar(mnemonic));
}

}  // namespace Menuing
}  // namespace Quarn

#include "quarn/menu/menubar.h"

#include "quarn/error.h"
#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Menuing {

static Frame::FrameBase* checked(Frame::FrameBase* frame) {
    if (!frame) _quarn_throw_error("Cannot create a menubar for a null frame!");
    return frame;
}

Menubar::Menubar(Frame::FrameBase* frame) : frame(checked(frame)) {
    _quarn_print_warning("Menuing is not yet supported on Linux!");
    frame->has_menubar = true;
}

Menubar::~Menubar() { frame->has_menubar = false; }

void Menubar::append_menu(const Menu* menu, const std::string& name, char mnemonic) {
    append_menu(menu, _quarn_to_wstring(name), _quarn_to_wchar(mnemonic));
}

// Where a native menubar would take the menu; Linux has none.
void Menubar::append_menu(const Menu*, const std::wstring&, wchar_t) {}

}  // namespace Menuing
}  // namespace Quarn

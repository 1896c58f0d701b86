#pragma once

#include <string>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Menuing {

class Menu;

/// The menubar of one frame. On Linux it is not shown: creating one prints
/// the warning "Menuing is not yet supported on Linux!". The frame's
/// has_menubar is true while a menubar for it exists. `frame` must be a live
/// frame that outlives the menubar; a null frame is refused with an error.
class Menubar {
public:
    /// Warns, then marks `frame` as having a menubar.
    explicit Menubar(Frame::FrameBase* frame);
    /// Clears the frame's has_menubar.
    ~Menubar();
    Menubar(const Menubar&) = delete;
    Menubar& operator=(const Menubar&) = delete;

    /// @name Menus
    /// Appends `menu` under the label `name` with `mnemonic` marked. The
    /// narrow overload widens byte by byte.
    //@{
    void append_menu(const Menu* menu, const std::string& name, char mnemonic);
    void append_menu(const Menu* menu, const std::wstring& name, wchar_t mnemonic);
    //@}

    Frame::FrameBase* const frame;  ///< The frame this menubar belongs to (not owned).
};

}  // namespace Menuing
}  // namespace Quarn

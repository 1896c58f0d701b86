#include "quarn/flags.h"

namespace Quarn {
namespace Flags {

const Button Button::NONE(0);
const Button Button::MINIMIZE(1);
const Button Button::MAXIMIZE(2);
const Button Button::CLOSE(4);

const Report Report::NONE(0);
const Report Report::WHEEL(1);
const Report Report::RESIZE(2);
const Report Report::TEXT(4);
const Report Report::FOCUS(16);
const Report Report::CROSSING(32);
const Report Report::REFRESH(64);
const Report Report::BUTTONS(128);

const Style Style::NONE(0);
const Style Style::NOBORDER(0x10);
const Style Style::BORDER(1);
const Style Style::MINI(2);
const Style Style::RESIZABLE(4);
const Style Style::TITLEBAR(8);

}  // namespace Flags
}  // namespace Quarn

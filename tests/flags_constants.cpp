#include "quarn/flags.h"

// An application's own namespace-scope constants, made from the library's in
// a file of their own that the linker places before the library's files: they
// are initialized before any of the library's initializers could run.

using Quarn::Flags::Button;
using Quarn::Flags::Modifier;
using Quarn::Flags::Report;
using Quarn::Flags::Style;

extern const Style kAppStyle;
extern const Button kAppButtons;
extern const Report kAppReport;
extern const Modifier kAppShortcut;

const Style kAppStyle = Style::BORDER | Style::TITLEBAR;
const Button kAppButtons = Button::MINIMIZE | Button::CLOSE;
const Report kAppReport = Report::WHEEL | Report::TEXT;
const Modifier kAppShortcut = Modifier::CONTROL | Modifier::SHIFT;

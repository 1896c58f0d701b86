#include "quarn/helpers.h"

#include <climits>

#include "quarn/init.h"

namespace Quarn {

std::wstring _quarn_to_wstring(const std::string& s) {
    std::wstring wide(s.size(), L'\0');
    for (std::size_t i = 0; i < s.size(); ++i) wide[i] = _quarn_to_wchar(s[i]);
    return wide;
}

int _quarn_get_next_id() {
    static int counter = 1;
    const int id = counter;
    // Signed overflow is undefined; wrap to 1 instead.
    counter = (counter == INT_MAX) ? 1 : counter + 1;
    return id;
}

void get_monitor_size(int* size) {
    _quarn_require_display("Cannot get the monitor size without a display connection!");
    const Screen* screen = DefaultScreenOfDisplay(_quarn_display);
    size[0] = WidthOfScreen(screen);
    size[1] = HeightOfScreen(screen);
}

}  // namespace Quarn

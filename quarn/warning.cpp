#include "quarn/warning.h"

#include <cstdio>

namespace Quarn {

void _quarn_print_line(const char* text) {
    // printf("%s", nullptr) is undefined; a null text still gives a readable line.
    std::printf("Quarn: %s\n", text ? text : "(null)");
}

void _quarn_print_warning(const char* str) { _quarn_print_line(str); }

}  // namespace Quarn

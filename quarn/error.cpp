#include "quarn/error.h"

#include "quarn/warning.h"

namespace Quarn {

void _quarn_throw_error(const char* message) {
    _quarn_print_line(message);
    throw message;
}

}  // namespace Quarn

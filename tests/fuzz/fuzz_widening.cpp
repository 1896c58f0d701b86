// String widening: one wide character per byte, each the byte sign-extended.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quarn/helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string narrow(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = Quarn::_quarn_to_wstring(narrow);
    if (wide.size() != size) std::abort();
    for (size_t i = 0; i < size; ++i) {
        const int expected = data[i] < 0x80 ? data[i] : data[i] - 256;
        if (static_cast<int>(wide[i]) != expected) std::abort();
    }
    return 0;
}

#pragma once

namespace quarn_test {

// Resident memory of this process in KiB.
long resident_kib();

// Whether resident memory says anything about leaks: AddressSanitizer keeps
// freed memory in quarantine, so there it only grows.
constexpr bool resident_memory_is_meaningful() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}

}  // namespace quarn_test

#include "tests/support/memory.h"

#include <unistd.h>

#include <cstdio>

namespace quarn_test {

long resident_kib() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace quarn_test

#pragma once

#include <string>
#include <vector>

namespace quarn_test {

// Captures everything written to standard output (file descriptor 1) from
// construction until finish(), so printf output of the library can be checked.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Restores standard output and returns what was written meanwhile.
    std::string finish();
    // finish(), split into lines without their newlines.
    std::vector<std::string> lines();

private:
    int saved_fd_ = -1;
    int file_fd_ = -1;
};

std::vector<std::string> split_lines(const std::string& text);

}  // namespace quarn_test

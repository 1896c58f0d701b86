#include "tests/support/capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace quarn_test {

StdoutCapture::StdoutCapture() {
    char path[] = "/tmp/quarn-stdout-XXXXXX";
    file_fd_ = mkstemp(path);
    if (file_fd_ < 0) throw std::runtime_error("mkstemp failed");
    unlink(path);
    std::fflush(stdout);
    saved_fd_ = dup(STDOUT_FILENO);
    dup2(file_fd_, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() {
    if (saved_fd_ >= 0) finish();
}

std::string StdoutCapture::finish() {
    std::fflush(stdout);
    dup2(saved_fd_, STDOUT_FILENO);
    close(saved_fd_);
    saved_fd_ = -1;
    std::string text;
    char buffer[4096];
    lseek(file_fd_, 0, SEEK_SET);
    for (ssize_t n; (n = read(file_fd_, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(file_fd_);
    file_fd_ = -1;
    return text;
}

std::vector<std::string> StdoutCapture::lines() { return split_lines(finish()); }

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> result;
    std::string::size_type begin = 0;
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
        result.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    if (begin < text.size()) result.push_back(text.substr(begin));
    return result;
}

}  // namespace quarn_test

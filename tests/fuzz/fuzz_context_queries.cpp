// Feeds arbitrary GL strings to the context queries through the glGetString
// seam: version parsing must end without fault, and supports_extension must
// agree with a plain word-by-word search of the list.
#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "quarn/context.h"
#include "quarn/init.h"

static std::string fake_string;

extern "C" const GLubyte* __wrap_glGetString(GLenum) { return reinterpret_cast<const GLubyte*>(fake_string.c_str()); }

static Quarn::Context::Context* context = nullptr;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout);  // the context's trace
    Quarn::init();
    context = new Quarn::Context::Context(2, 1);
    return 0;
}

static bool listed(const std::string& list, const std::string& name) {
    std::istringstream words(list);
    for (std::string word; std::getline(words, word, ' ');)
        if (word == name) return true;
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    // GL strings hold no NUL byte; cut there as glGetString's caller would.
    const std::string string = text.substr(0, text.find('\0'));
    int major = 0, minor = 0, release = 0;
    switch (data[0] % 3) {
        case 0:
            fake_string = string;
            context->get_version_gl(&major, &minor);
            break;
        case 1:
            fake_string = string;
            context->get_version_glsl(&major, &minor, &release);
            break;
        default: {
            const auto split = string.find('\n');
            fake_string = string.substr(0, split);
            const std::string name = split == std::string::npos ? std::string() : string.substr(split + 1);
            const bool expected = !name.empty() && name.find(' ') == std::string::npos && listed(fake_string, name);
            if (context->supports_extension(name.c_str()) != expected) std::abort();
        }
    }
    return 0;
}

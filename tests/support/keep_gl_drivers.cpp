// Sanitizer builds only. Mesa's GLX vendor library and its DRI driver are
// unloaded when the last display closes, and LeakSanitizer then cannot name
// the module that made an allocation. Loading them once with RTLD_NODELETE
// keeps their names in leak reports, so the suppressions can match them.
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void keep_gl_drivers_loaded() {
    dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    dlopen(QUARN_DRI_DRIVER, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
}

}  // namespace

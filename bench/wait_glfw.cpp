// GLFW 3: glfwWaitEventsTimeout, which also delivers what came.
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include "bench/common.h"

static std::atomic<long> keys{0};

int main(int argc, char** argv) {
    glfwInit();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    GLFWwindow* window = glfwCreateWindow(200, 200, "wait", nullptr, nullptr);
    glfwSetKeyCallback(window, [](GLFWwindow*, int, int, int action, int) {
        if (action == GLFW_PRESS) ++keys;
    });
    const int status = bench::run_wait(
        argc, argv, "glfw", glfwGetX11Window(window), keys,
        [](int timeout_ms) {
            glfwWaitEventsTimeout(timeout_ms / 1000.0);
            return bench::seconds_now();  // GLFW has delivered by now
        },
        {}, [] { glfwPostEmptyEvent(); });
    glfwDestroyWindow(window);
    glfwTerminate();
    return status;
}

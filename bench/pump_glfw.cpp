// GLFW 3: glfwPollEvents with callbacks.
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include "bench/common.h"

static bench::Delivered delivered;

int main(int argc, char** argv) {
    glfwInit();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    GLFWwindow* window = glfwCreateWindow(200, 200, "pump", nullptr, nullptr);
    glfwSetCursorPosCallback(window, [](GLFWwindow*, double, double) { ++delivered.motion; });
    glfwSetKeyCallback(window, [](GLFWwindow*, int, int, int, int) { ++delivered.key; });
    glfwSetMouseButtonCallback(window, [](GLFWwindow*, int, int, int) { ++delivered.button; });
    glfwSetScrollCallback(window, [](GLFWwindow*, double, double) { ++delivered.wheel; });
    glfwSetWindowRefreshCallback(window, [](GLFWwindow*) { ++delivered.expose; });
    glfwSetWindowCloseCallback(window, [](GLFWwindow* closing) {
        delivered.marker = true;
        glfwSetWindowShouldClose(closing, GLFW_FALSE);
    });
    const int status =
        bench::run_pump(argc, argv, "glfw", glfwGetX11Window(window), delivered, [] { glfwPollEvents(); });
    glfwDestroyWindow(window);
    glfwTerminate();
    return status;
}

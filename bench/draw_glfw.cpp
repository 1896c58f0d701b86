// GLFW 3: two windows, the second's context sharing the first's.
#include <GLFW/glfw3.h>

#include "bench/common.h"
#include "test_twowindows/scene.h"

int main(int argc, char** argv) {
    const double started = bench::seconds_now();
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    GLFWwindow* windows[2];
    windows[0] = glfwCreateWindow(200, 200, "frame1", nullptr, nullptr);
    windows[1] = glfwCreateWindow(200, 200, "frame2", nullptr, windows[0]);
    for (GLFWwindow* window : windows) {
        glfwMakeContextCurrent(window);
        glfwSwapInterval(0);
        scene::set_shared_state();  // two contexts: each needs the state
    }
    const int status = bench::run_draw(argc, argv, "glfw", started,
                                       {[] { glfwPollEvents(); },
                                        [&](int frame) { glfwMakeContextCurrent(windows[frame]); },
                                        [&](int frame) {
                                            glfwSwapBuffers(windows[frame]);
                                            glFinish();
                                        },
                                        {}});
    glfwTerminate();
    return status;
}

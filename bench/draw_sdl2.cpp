// SDL2: one GL context made current on either window.
#include <SDL2/SDL.h>

#include "bench/common.h"
#include "test_twowindows/scene.h"

int main(int argc, char** argv) {
    const double started = bench::seconds_now();
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* windows[2];
    windows[0] = SDL_CreateWindow("frame1", 0, 0, 200, 200, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    windows[1] = SDL_CreateWindow("frame2", 200, 0, 200, 200, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    SDL_GLContext context = SDL_GL_CreateContext(windows[0]);
    for (SDL_Window* window : windows) {
        SDL_GL_MakeCurrent(window, context);
        SDL_GL_SetSwapInterval(0);
    }
    scene::set_shared_state();
    SDL_Event event;
    const int status = bench::run_draw(argc, argv, "sdl2", started,
                                       {[&] {
                                            while (SDL_PollEvent(&event)) {
                                            }
                                        },
                                        [&](int frame) { SDL_GL_MakeCurrent(windows[frame], context); },
                                        [&](int frame) {
                                            SDL_GL_SwapWindow(windows[frame]);
                                            glFinish();
                                        },
                                        {}});
    SDL_GL_DeleteContext(context);
    SDL_Quit();
    return status;
}

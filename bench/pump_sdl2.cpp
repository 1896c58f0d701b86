// SDL2: SDL_PollEvent.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include "bench/common.h"

int main(int argc, char** argv) {
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("pump", 0, 0, 200, 200, SDL_WINDOW_SHOWN);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWindowWMInfo(window, &info);
    bench::Delivered delivered;
    SDL_Event event;
    const int status = bench::run_pump(argc, argv, "sdl2", info.info.x11.window, delivered, [&] {
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
                case SDL_MOUSEMOTION: ++delivered.motion; break;
                case SDL_KEYDOWN:
                case SDL_KEYUP: ++delivered.key; break;
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP: ++delivered.button; break;
                case SDL_MOUSEWHEEL: ++delivered.wheel; break;
                case SDL_WINDOWEVENT:
                    if (event.window.event == SDL_WINDOWEVENT_EXPOSED) ++delivered.expose;
                    if (event.window.event == SDL_WINDOWEVENT_CLOSE) delivered.marker = true;
                    break;
                default: break;
            }
        }
    });
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

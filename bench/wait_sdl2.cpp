// SDL2: SDL_WaitEventTimeout, then the rest of the queue.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include "bench/common.h"

static std::atomic<long> keys{0};

int main(int argc, char** argv) {
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("wait", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 200, 200, 0);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWindowWMInfo(window, &info);
    const auto count = [](const SDL_Event& event) {
        if (event.type == SDL_KEYDOWN) ++keys;
    };
    const int status = bench::run_wait(argc, argv, "sdl2", info.info.x11.window, keys, [&](int timeout_ms) {
        SDL_Event event;
        const bool woke = SDL_WaitEventTimeout(&event, timeout_ms);
        const double now = bench::seconds_now();
        if (!woke) return now;
        count(event);
        while (SDL_PollEvent(&event)) count(event);
        return now;
    });
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

// handle()'s cost per event with N frames registered, the events spread
// across them, and the memory each frame costs.
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/common.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"

static bench::Delivered delivered;

class CountingFrame : public Quarn::Frame::FrameBase {
public:
    CountingFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
    }
    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseMove*) override {
        ++delivered.motion;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        delivered.marker = true;
    }
};

static long resident_kib() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * 4;
}

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    Quarn::init();
    {
        std::vector<std::unique_ptr<CountingFrame>> frames;
        frames.push_back(std::make_unique<CountingFrame>());  // warms Xlib and GLX up before measuring
        XSync(Quarn::_quarn_display, False);
        const long before_kib = resident_kib();
        while (static_cast<int>(frames.size()) < count) frames.push_back(std::make_unique<CountingFrame>());
        XSync(Quarn::_quarn_display, False);
        const long after_kib = resident_kib();

        bench::Injector injector(frames[0]->_quarn_backing->window);
        std::vector<XEvent> workload =
            bench::make_workload(injector.display(), frames[0]->_quarn_backing->window, bench::kBurst);
        for (std::size_t i = 0; i < workload.size(); ++i) {
            workload[i].type = MotionNotify;  // one kind of event, so only the lookup varies
            workload[i].xany.window = frames[i % frames.size()]->_quarn_backing->window;
        }
        injector.send(workload, 0, 0);
        while (!delivered.marker) Quarn::Input::Events::handle();
        injector.send(workload, 0, workload.size());
        delivered = bench::Delivered{};
        bench::instrumentation(true);
        const double start = bench::seconds_now();
        while (!delivered.marker) Quarn::Input::Events::handle();
        const double seconds = bench::seconds_now() - start;
        bench::instrumentation(false);
        std::printf("scaling quarn frames=%d events=%d seconds=%.6f delivered=%ld kib_per_frame=%.2f\n", count,
                    bench::kBurst, seconds, delivered.motion,
                    count > 1 ? double(after_kib - before_kib) / (count - 1) : 0.0);
    }
    Quarn::deinit();
    return 0;
}

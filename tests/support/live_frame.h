#pragma once

#include <set>

#include "quarn/frame/frame.h"

namespace quarn_test {

// A top-level frame that knows whether it is still alive, so a callback that
// reaches a destroyed frame (which must never happen) can be caught. Header
// only: the fuzz targets use it without the test support library.
class LiveFrame : public Quarn::Frame::FrameBase {
public:
    LiveFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        frames().insert(this);
    }
    ~LiveFrame() override { frames().erase(this); }

    bool alive() const { return frames().count(this) != 0; }

private:
    static std::set<const LiveFrame*>& frames() {
        static std::set<const LiveFrame*> live;
        return live;
    }
};

}  // namespace quarn_test

#pragma once

#include <X11/extensions/Xfixes.h>

#include <memory>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "tests/support/fixture.h"
#include "tests/support/pump.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

namespace quarn_test {

// A cursor as the server shows it.
struct CursorImage {
    int width, height, hot_x, hot_y;
    unsigned long serial;               // one per cursor made
    std::vector<unsigned long> pixels;  // premultiplied ARGB, row by row

    // Whether any of its pixels can be seen.
    bool visible() const {
        for (unsigned long pixel : pixels)
            if (pixel >> 24) return true;
        return false;
    }
};

// Frames that take or move the pointer, with the mouse moved as a user's
// would: XTest from the second client. Link X11::Xfixes for cursor_image.
class PointerTest : public ClientTest {
protected:
    // A 200 x 150 frame at (x, 100), shown.
    std::unique_ptr<RecordingFrame> shown_frame(int x) {
        auto frame = std::make_unique<RecordingFrame>(log);
        frame->set_size(200, 150);
        frame->set_position(x, 100);
        frame->set_show(true, 0);
        XFlush(Quarn::_quarn_display);
        EXPECT_TRUE(client->wait_viewable(frame->_quarn_backing->window));
        return frame;
    }
    void focus(Window window, int x, int y) {
        client->focus_and_point(window, x, y);
        settle(*client);
    }
    // The moves reported since the last call: x, y, x_rel, y_rel, and the
    // state's mouse_relative at the callback.
    std::vector<std::vector<int>> moves() {
        settle(*client);
        std::vector<std::vector<int>> found;
        for (const Call& call : log)
            if (call.level == "EventMouseMove")
                found.push_back(
                    {call.move[0], call.move[1], call.move[2], call.move[3], call.relative[0], call.relative[1]});
        log.clear();
        return found;
    }
    // Whether a pointer grab is in force: another client's attempt fails then.
    // The attempt confines to the root window: Xorg lets a failed grab that
    // confines nowhere end the confinement of the grab in force.
    bool pointer_grabbed() {
        XSync(Quarn::_quarn_display, False);
        const int status = XGrabPointer(client->display(), client->root(), False, ButtonPressMask, GrabModeAsync,
                                        GrabModeAsync, client->root(), None, CurrentTime);
        XUngrabPointer(client->display(), CurrentTime);
        client->sync();
        return status == AlreadyGrabbed;
    }

    // The cursor the pointer shows now, as XFixes reads it back.
    CursorImage cursor_image() {
        XSync(Quarn::_quarn_display, False);
        XFixesCursorImage* image = XFixesGetCursorImage(client->display());
        if (!image) return {0, 0, 0, 0, 0, {}};
        CursorImage found{image->width, image->height, image->xhot, image->yhot, image->cursor_serial, {}};
        // Xlib hands the 32-bit pixels over as longs, sign-extended.
        for (int i = 0; i < image->width * image->height; ++i) found.pixels.push_back(image->pixels[i] & 0xffffffff);
        XFree(image);
        return found;
    }

    std::vector<Call> log;
};

}  // namespace quarn_test

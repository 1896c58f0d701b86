#include "quarn/input/text.h"

#include <X11/Xlocale.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <xkbcommon/xkbcommon.h>

#include <clocale>
#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/report.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/modifiers.h"

namespace Quarn {
namespace Input {

namespace {

XIM input_method = nullptr;
bool awaiting_method = false;
// Whether the event before this one was taken by the input method: only then
// can a key press with keycode 0 be the text it commits (Xlib puts it back at
// the head of the queue while filtering).
bool just_taken = false;
// The pointer events any input context asked to filter (XNFilterEvents): with
// no preedit none does, so motion and buttons skip XFilterEvent's walk.
long pointer_filters = 0;

// Key events the input method took, so that the copies some methods (IBus)
// hand back are not delivered twice. Two real presses can share a server
// millisecond, so a copy is recognised only by its keycode, time and type
// together, once.
struct Taken {
    unsigned int keycode;
    Time time;
    int type;
};
Taken taken[16];
unsigned int taken_next = 0;

void remember_taken(const XKeyEvent& key) {
    taken[taken_next % 16] = Taken{key.keycode, key.time, key.type};
    ++taken_next;
}

bool forget_taken(const XKeyEvent& key) {
    for (Taken& entry : taken) {
        if (entry.keycode == key.keycode && entry.time == key.time && entry.type == key.type && entry.keycode) {
            entry.keycode = 0;
            return true;
        }
    }
    return false;
}

// Xlib opens the input method of the current locale. The system's locale is
// taken for the call (so LANG=C.UTF-8 gives dead keys and Compose to an
// application that never calls setlocale), and the application's is put back.
template <typename Call>
auto in_system_locale(Call call) {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    std::setlocale(LC_CTYPE, "");
    XSetLocaleModifiers("");
    auto result = call();
    std::setlocale(LC_CTYPE, saved.c_str());
    return result;
}

// HACK: an input method server that ends (IBus restarting) leaves Xlib's
// input method code writing to its vanished window until it notices; the
// BadWindow errors that come back would end the application through Xlib's
// default handler. While a method is open they are let go; every other error
// goes to the handler that was there before.
XErrorHandler earlier_handler = nullptr;
bool tolerating = false;

int tolerate_vanished_method(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow &&
        (error->request_code == X_SendEvent || error->request_code == X_ChangeProperty))
        return 0;
    return earlier_handler ? earlier_handler(display, error) : 0;
}

void tolerate_method_errors() {
    if (tolerating) return;
    earlier_handler = XSetErrorHandler(tolerate_vanished_method);
    tolerating = true;
}

void stop_tolerating() {
    if (!tolerating) return;
    // An application that installed a handler of its own since keeps it.
    const XErrorHandler current = XSetErrorHandler(earlier_handler);
    if (current != tolerate_vanished_method) XSetErrorHandler(current);
    tolerating = false;
}

void create_context(Frame::FrameBase* frame);
void method_started(Display*, XPointer, XPointer);

// The method went away (its server ended): its contexts are gone with it.
void method_destroyed(XIM, XPointer, XPointer) {
    input_method = nullptr;
    if (Frame::_quarn_windows)
        for (const auto& [window, frame] : *Frame::_quarn_windows) frame->_quarn_backing->input_context = nullptr;
    awaiting_method = in_system_locale([] {
        return XRegisterIMInstantiateCallback(_quarn_display, nullptr, nullptr, nullptr, method_started, nullptr) ==
               True;
    });
}

bool open_method() {
    XIM method = in_system_locale([] { return XOpenIM(_quarn_display, nullptr, nullptr, nullptr); });
    if (!method) return false;
    XIMStyles* styles = nullptr;
    bool usable = false;
    if (!XGetIMValues(method, XNQueryInputStyle, &styles, nullptr) && styles) {
        for (unsigned short i = 0; i < styles->count_styles; ++i)
            usable = usable || styles->supported_styles[i] == (XIMPreeditNothing | XIMStatusNothing);
        XFree(styles);
    }
    if (!usable) {
        XCloseIM(method);
        return false;
    }
    XIMCallback destroyed{nullptr, method_destroyed};
    XSetIMValues(method, XNDestroyCallback, &destroyed, nullptr);
    input_method = method;
    tolerate_method_errors();
    return true;
}

// An input method became available: open it and give every frame that
// reports TEXT its context.
void method_started(Display*, XPointer, XPointer) {
    if (input_method || !open_method()) return;
    XUnregisterIMInstantiateCallback(_quarn_display, nullptr, nullptr, nullptr, method_started, nullptr);
    awaiting_method = false;
    for (const auto& [window, frame] : *Frame::_quarn_windows)
        if (Frame::_quarn_reports(frame, Flags::Report::TEXT)) create_context(frame);
}

// The masks `context` asks to filter.
long filter_mask(XIC context) {
    long filter = 0;
    XGetICValues(context, XNFilterEvents, &filter, nullptr);
    return filter;
}

void create_context(Frame::FrameBase* frame) {
    Frame::_quarn_FrameBacking& backing = *frame->_quarn_backing;
    if (!input_method || backing.input_context) return;
    backing.input_context = XCreateIC(input_method, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                      backing.window, XNFocusWindow, backing.window, nullptr);
    if (!backing.input_context) return;
    const long filter = filter_mask(backing.input_context);
    pointer_filters |= filter & (ButtonPressMask | ButtonReleaseMask | PointerMotionMask | ButtonMotionMask);
    _quarn_select_input(backing.window, filter & ~Frame::_quarn_FrameBacking::event_mask, 0);
    Window focused = None;
    int revert = 0;
    XGetInputFocus(_quarn_display, &focused, &revert);
    if (focused == backing.window) XSetICFocus(backing.input_context);
}

bool is_text(char32_t codepoint) {
    return codepoint >= 0x20 && !(codepoint >= 0x7F && codepoint <= 0x9F) && codepoint <= 0x10FFFF;
}

// Delivers each character of `utf8`; stops if a callback destroys the frame.
void issue_characters(Frame::FrameBase* frame, const char* utf8) {
    const Window window = frame->_quarn_backing->window;
    for (std::size_t at = 0; utf8[at];) {
        const std::size_t start = at;
        const char32_t codepoint = _quarn_next_codepoint(utf8, at);
        if (!is_text(codepoint)) continue;
        char one[5] = {};
        for (std::size_t i = start; i < at && i - start < 4; ++i) one[i - start] = utf8[i];
        Events::EventText event(codepoint, one);
        event._quarn_handle(frame);
        if (!Frame::_quarn_windows || !Frame::_quarn_windows->count(window)) return;
    }
}

// Whether a pointer event is one no input context filters.
bool unfiltered_pointer_event(int type) {
    switch (type) {
        case MotionNotify: return !(pointer_filters & (PointerMotionMask | ButtonMotionMask));
        case ButtonPress: return !(pointer_filters & ButtonPressMask);
        case ButtonRelease: return !(pointer_filters & ButtonReleaseMask);
        default: return false;
    }
}

}  // namespace

_quarn_KeyRoute _quarn_text_route(XEvent& event) {
    const bool key = event.type == KeyPress || event.type == KeyRelease;
    // Waiting for a method to start, Xlib's own filter on the root window's
    // properties tells when one does.
    if ((!input_method && !awaiting_method) || unfiltered_pointer_event(event.type))
        return _quarn_KeyRoute::KEY_AND_TEXT;
    // HACK: save the keycode; some input methods clear it in XFilterEvent.
    const unsigned int keycode = key ? event.xkey.keycode : 0;
    const bool after_taken = just_taken;
    just_taken = XFilterEvent(&event, None);
    if (just_taken) {
        if (!key || keycode == 0) return _quarn_KeyRoute::DROP;
        event.xkey.keycode = keycode;
        remember_taken(event.xkey);
        return _quarn_KeyRoute::KEY_ONLY;
    }
    if (!key) return _quarn_KeyRoute::KEY_AND_TEXT;
    // The server sends keycodes 8 to 255: keycode 0 is the method's own
    // commit, and a forged one (another client's XSendEvent) must not make
    // Xlib read a committed string that is not there.
    if (keycode == 0) return after_taken && !event.xany.send_event ? _quarn_KeyRoute::TEXT_ONLY : _quarn_KeyRoute::DROP;
    if (forget_taken(event.xkey)) return _quarn_KeyRoute::TEXT_ONLY;
    return _quarn_KeyRoute::KEY_AND_TEXT;
}

void _quarn_text_enable(Frame::FrameBase* frame, bool on) {
    Frame::_quarn_FrameBacking& backing = *frame->_quarn_backing;
    if (!on) {
        if (!backing.input_context) return;
        // Deselected: what the context added, unless every frame or RESIZE selects it.
        long kept = Frame::_quarn_FrameBacking::event_mask;
        if (Frame::_quarn_reports(frame, Flags::Report::RESIZE)) kept |= StructureNotifyMask | PropertyChangeMask;
        const long added = filter_mask(backing.input_context) & ~kept;
        XDestroyIC(backing.input_context);
        backing.input_context = nullptr;
        _quarn_select_input(backing.window, 0, added);
        return;
    }
    if (!input_method && !awaiting_method && !open_method()) {
        // None yet: follow one that starts later (this selects a mask on the root window).
        awaiting_method = in_system_locale([] {
            return XRegisterIMInstantiateCallback(_quarn_display, nullptr, nullptr, nullptr, method_started, nullptr) ==
                   True;
        });
    }
    create_context(frame);
}

void _quarn_text_focus(Frame::FrameBase* frame, bool focused) {
    XIC context = frame->_quarn_backing->input_context;
    if (!context) return;
    if (focused)
        XSetICFocus(context);
    else
        XUnsetICFocus(context);
}

void _quarn_issue_text(Frame::FrameBase* frame, XKeyEvent& key) {
    if (!Frame::_quarn_reports(frame, Flags::Report::TEXT)) return;
    // Ctrl+C and Alt+F are shortcuts, not text, wherever the modifier mapping
    // puts Alt; AltGr (ISO_Level3_Shift) is neither.
    if (_quarn_modifiers(key.state) & (Flags::Modifier::CONTROL | Flags::Modifier::ALT)) return;
    char buffer[64] = {};
    if (XIC context = frame->_quarn_backing->input_context) {
        KeySym symbol = NoSymbol;
        Status status = 0;
        int length = Xutf8LookupString(context, &key, buffer, sizeof buffer - 1, &symbol, &status);
        if (status == XBufferOverflow) {
            std::vector<char> larger(static_cast<std::size_t>(length) + 1);
            length = Xutf8LookupString(context, &key, larger.data(), length, &symbol, &status);
            if (status == XLookupChars || status == XLookupBoth) {
                larger[static_cast<std::size_t>(length)] = '\0';
                issue_characters(frame, larger.data());
            }
            return;
        }
        if (status != XLookupChars && status != XLookupBoth) return;
        buffer[length] = '\0';
        issue_characters(frame, buffer);
        return;
    }
    // No input method: the key symbol with the modifiers applied (Shift+A is
    // "A"), turned into its character by libxkbcommon.
    KeySym symbol = NoSymbol;
    XLookupString(&key, buffer, sizeof buffer, &symbol, nullptr);
    if (xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(symbol), buffer, sizeof buffer) > 0)
        issue_characters(frame, buffer);
}

void _quarn_text_deinit() {
    if (awaiting_method)
        XUnregisterIMInstantiateCallback(_quarn_display, nullptr, nullptr, nullptr, method_started, nullptr);
    awaiting_method = false;
    if (input_method) XCloseIM(input_method);
    input_method = nullptr;
    if (_quarn_display) XSync(_quarn_display, False);  // errors of the closing still let go
    stop_tolerating();
    taken_next = 0;
    for (Taken& entry : taken) entry = Taken{};
    just_taken = false;
    pointer_filters = 0;
}

}  // namespace Input
}  // namespace Quarn

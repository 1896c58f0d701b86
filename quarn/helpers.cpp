#include "quarn/helpers.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quarn/init.h"

namespace Quarn {

std::wstring _quarn_to_wstring(const std::string& s) {
    std::wstring wide(s.size(), L'\0');
    for (std::size_t i = 0; i < s.size(); ++i) wide[i] = _quarn_to_wchar(s[i]);
    return wide;
}

int _quarn_get_next_id() {
    static int counter = 1;
    const int id = counter;
    // Signed overflow is undefined; wrap to 1 instead.
    counter = (counter == INT_MAX) ? 1 : counter + 1;
    return id;
}

char32_t _quarn_next_codepoint(const char* text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t codepoint = extra == 3 ? lead & 0x07u : extra == 2 ? lead & 0x0Fu : extra == 1 ? lead & 0x1Fu : lead;
    for (int i = 0; i < extra && text[at]; ++i)
        codepoint = (codepoint << 6) | (static_cast<unsigned char>(text[at++]) & 0x3Fu);
    return codepoint;
}

bool _quarn_to_latin1(const std::string& utf8, std::string& latin1) {
    bool fits = true;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t codepoint = _quarn_next_codepoint(utf8.c_str(), at);
        fits = fits && codepoint < 0x100;
        latin1 += codepoint < 0x100 ? static_cast<char>(codepoint) : '?';
    }
    return fits;
}

Window _quarn_parent_of(Window window) {
    Window root = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(_quarn_display, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent;
}

std::vector<long> _quarn_window_items(Window window, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(_quarn_display, window, property, 0, 1024, False, type, &actual, &format, &count, &after,
                           &data) == Success &&
        format == 32)
        items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    if (data) XFree(data);
    return items;
}

_quarn_PropertyRead _quarn_take_property(Window window, Atom property, Atom& type, int& format, std::string& bytes,
                                         std::size_t limit) {
    format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(_quarn_display, window, property, 0, static_cast<long>((limit + 3) / 4), True,
                                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
                      type != None;
    const std::unique_ptr<unsigned char, int (*)(void*)> held(data, XFree);
    if (!read) return _quarn_PropertyRead::ABSENT;
    if (format == 32) {
        // Xlib hands 32-bit items out as longs.
        bytes.resize(count * 4);
        for (unsigned long i = 0; i < count; ++i) {
            const auto item = static_cast<std::uint32_t>(reinterpret_cast<const unsigned long*>(data)[i]);
            std::memcpy(&bytes[i * 4], &item, 4);
        }
    } else {
        bytes.assign(reinterpret_cast<const char*>(data), count * static_cast<unsigned long>(format / 8));
    }
    return after == 0 && bytes.size() <= limit ? _quarn_PropertyRead::WHOLE : _quarn_PropertyRead::TOO_LARGE;
}

void _quarn_select_input(Window window, long add, long remove) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(_quarn_display, window, &attributes);
    XSelectInput(_quarn_display, window, (attributes.your_event_mask & ~remove) | add);
}

void get_monitor_size(int* size) {
    _quarn_require_display("Cannot get the monitor size without a display connection!");
    const Screen* screen = DefaultScreenOfDisplay(_quarn_display);
    size[0] = WidthOfScreen(screen);
    size[1] = HeightOfScreen(screen);
}

float get_content_scale() {
    _quarn_require_display("Cannot get the content scale without a display connection!");
    // Read from the server each time: Xlib's XResourceManagerString is the
    // copy from when the connection opened, and desktops change it.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(_quarn_display, DefaultRootWindow(_quarn_display), XA_RESOURCE_MANAGER, 0, 1 << 20, False,
                       XA_STRING, &type, &format, &count, &after, &data);
    const std::unique_ptr<unsigned char, int (*)(void*)> text(data, XFree);
    if (!data || format != 8) return 1.0f;
    XrmInitialize();
    const std::unique_ptr<_XrmHashBucketRec, void (*)(XrmDatabase)> database(
        XrmGetStringDatabase(reinterpret_cast<const char*>(data)), XrmDestroyDatabase);
    if (!database) return 1.0f;
    char* value_type = nullptr;
    XrmValue value{};
    if (!XrmGetResource(database.get(), "Xft.dpi", "Xft.Dpi", &value_type, &value) || !value.addr) return 1.0f;
    char* end = nullptr;
    const float dpi = std::strtof(value.addr, &end);
    if (end == value.addr || !(dpi > 0.0f) || dpi > 9600.0f) return 1.0f;  // malformed
    return dpi / 96.0f;
}

}  // namespace Quarn

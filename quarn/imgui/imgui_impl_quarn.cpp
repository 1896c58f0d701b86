#include "quarn/imgui/imgui_impl_quarn.h"

#include <X11/keysym.h>
#include <imgui.h>

#include <cfloat>
#include <chrono>
#include <string>

#include "quarn/clipboard.h"
#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/warning.h"

// ImGui 1.87 replaced the key map and the state arrays (io.KeysDown,
// io.MouseDown, io.KeyCtrl...) with an input queue (io.AddKeyEvent,
// io.AddMousePosEvent...); Debian ships 1.86.
#if IMGUI_VERSION_NUM >= 18700
#define QUARN_IMGUI_QUEUE 1
#else
#define QUARN_IMGUI_QUEUE 0
#endif

namespace {

using Quarn::Flags::Modifier;
using Quarn::Frame::Cursor;
namespace Events = Quarn::Input::Events;

enum { SHIFT, CONTROL, ALT, SUPER, MODIFIERS };

// What the backend keeps per ImGui context (io.BackendPlatformUserData).
struct Backend {
    Quarn::Frame::FrameBase* frame = nullptr;
    std::string clipboard;  // what GetClipboardTextFn last handed out; ImGui reads it until the next call
    std::chrono::steady_clock::time_point last_frame{};
    bool timed = false;
    float pointer[2] = {-FLT_MAX, -FLT_MAX};
    bool pointer_inside = false;
    bool buttons_held[5] = {};
    bool modifiers_held[MODIFIERS] = {};
    int cursor_shown = ImGuiMouseCursor_COUNT;  // none yet
#if !QUARN_IMGUI_QUEUE
    // ImGui before 1.87 reads the state at NewFrame only: a press and its
    // release in the same frame (a quick click, Ctrl+V) would be lost, so a
    // press counts as held for the frame that follows it.
    bool buttons_pressed[5] = {};
    bool keys_held[512] = {};
    bool keys_pressed[512] = {};
    bool modifiers_seen[MODIFIERS] = {};
#endif
};

Backend* backend() {
    if (!ImGui::GetCurrentContext()) return nullptr;
    return static_cast<Backend*>(ImGui::GetIO().BackendPlatformUserData);
}

const char* clipboard_text(Backend* data) {
    data->clipboard = Quarn::get_clipboard();
    return data->clipboard.c_str();
}

void set_clipboard_text(const char* text) { Quarn::set_clipboard(text ? text : ""); }

// ImGui 1.91.1 moved the clipboard's calls from the IO to the platform IO,
// which hands them the context instead of a datum.
#if IMGUI_VERSION_NUM >= 19110
const char* get_clipboard_callback(ImGuiContext*) { return clipboard_text(backend()); }
void set_clipboard_callback(ImGuiContext*, const char* text) { set_clipboard_text(text); }
#else
const char* get_clipboard_callback(void* user_data) { return clipboard_text(static_cast<Backend*>(user_data)); }
void set_clipboard_callback(void*, const char* text) { set_clipboard_text(text); }
#endif

// Which modifier a key is itself, or MODIFIERS for the others.
int modifier_of(unsigned int key) {
    switch (key) {
        case XK_Shift_L:
        case XK_Shift_R: return SHIFT;
        case XK_Control_L:
        case XK_Control_R: return CONTROL;
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R: return ALT;
        case XK_Super_L:
        case XK_Super_R:
        case XK_Hyper_L:
        case XK_Hyper_R: return SUPER;
        default: return MODIFIERS;
    }
}

// The index in io.KeysDown[512] of an X key symbol: Latin-1's symbols as
// they are, the function keys' page (0xff00 to 0xffff) from 256; -1 for the rest.
int key_index(unsigned int key) {
    if (key < 256) return static_cast<int>(key);
    if ((key & 0xffffff00u) == 0xff00u) return 256 + static_cast<int>(key & 0xffu);
    return -1;
}

#if QUARN_IMGUI_QUEUE

ImGuiKey imgui_key(unsigned int key) {
    if (key >= XK_a && key <= XK_z) return static_cast<ImGuiKey>(ImGuiKey_A + static_cast<int>(key - XK_a));
    if (key >= XK_0 && key <= XK_9) return static_cast<ImGuiKey>(ImGuiKey_0 + static_cast<int>(key - XK_0));
    if (key >= XK_F1 && key <= XK_F12) return static_cast<ImGuiKey>(ImGuiKey_F1 + static_cast<int>(key - XK_F1));
    if (key >= XK_KP_0 && key <= XK_KP_9)
        return static_cast<ImGuiKey>(ImGuiKey_Keypad0 + static_cast<int>(key - XK_KP_0));
    switch (key) {
        case XK_Tab: return ImGuiKey_Tab;
        case XK_Left: return ImGuiKey_LeftArrow;
        case XK_Right: return ImGuiKey_RightArrow;
        case XK_Up: return ImGuiKey_UpArrow;
        case XK_Down: return ImGuiKey_DownArrow;
        case XK_Page_Up: return ImGuiKey_PageUp;
        case XK_Page_Down: return ImGuiKey_PageDown;
        case XK_Home: return ImGuiKey_Home;
        case XK_End: return ImGuiKey_End;
        case XK_Insert: return ImGuiKey_Insert;
        case XK_Delete: return ImGuiKey_Delete;
        case XK_BackSpace: return ImGuiKey_Backspace;
        case XK_space: return ImGuiKey_Space;
        case XK_Return: return ImGuiKey_Enter;
        case XK_Escape: return ImGuiKey_Escape;
        case XK_apostrophe: return ImGuiKey_Apostrophe;
        case XK_comma: return ImGuiKey_Comma;
        case XK_minus: return ImGuiKey_Minus;
        case XK_period: return ImGuiKey_Period;
        case XK_slash: return ImGuiKey_Slash;
        case XK_semicolon: return ImGuiKey_Semicolon;
        case XK_equal: return ImGuiKey_Equal;
        case XK_bracketleft: return ImGuiKey_LeftBracket;
        case XK_backslash: return ImGuiKey_Backslash;
        case XK_bracketright: return ImGuiKey_RightBracket;
        case XK_grave: return ImGuiKey_GraveAccent;
        case XK_Caps_Lock: return ImGuiKey_CapsLock;
        case XK_Scroll_Lock: return ImGuiKey_ScrollLock;
        case XK_Num_Lock: return ImGuiKey_NumLock;
        case XK_Print: return ImGuiKey_PrintScreen;
        case XK_Pause: return ImGuiKey_Pause;
        case XK_KP_Decimal: return ImGuiKey_KeypadDecimal;
        case XK_KP_Divide: return ImGuiKey_KeypadDivide;
        case XK_KP_Multiply: return ImGuiKey_KeypadMultiply;
        case XK_KP_Subtract: return ImGuiKey_KeypadSubtract;
        case XK_KP_Add: return ImGuiKey_KeypadAdd;
        case XK_KP_Enter: return ImGuiKey_KeypadEnter;
        case XK_KP_Equal: return ImGuiKey_KeypadEqual;
        case XK_Shift_L: return ImGuiKey_LeftShift;
        case XK_Control_L: return ImGuiKey_LeftCtrl;
        case XK_Alt_L: return ImGuiKey_LeftAlt;
        case XK_Super_L: return ImGuiKey_LeftSuper;
        case XK_Shift_R: return ImGuiKey_RightShift;
        case XK_Control_R: return ImGuiKey_RightCtrl;
        case XK_Alt_R: return ImGuiKey_RightAlt;
        case XK_Super_R: return ImGuiKey_RightSuper;
        case XK_Menu: return ImGuiKey_Menu;
        default: return ImGuiKey_None;
    }
}

// The modifiers as keys of their own: ImGuiKey_Mod* in 1.88, ImGuiMod_* from 1.89.
#if IMGUI_VERSION_NUM >= 18900
const ImGuiKey modifier_keys[MODIFIERS] = {ImGuiMod_Shift, ImGuiMod_Ctrl, ImGuiMod_Alt, ImGuiMod_Super};
#elif IMGUI_VERSION_NUM >= 18800
const ImGuiKey modifier_keys[MODIFIERS] = {ImGuiKey_ModShift, ImGuiKey_ModCtrl, ImGuiKey_ModAlt, ImGuiKey_ModSuper};
#endif

#endif

// Takes the modifiers held from a key or button event, with the change of
// the event's own key, which X reports only from the next event on.
void follow_modifiers(Backend& data, Modifier held, unsigned int key, bool down) {
    bool now[MODIFIERS] = {static_cast<bool>(held & Modifier::SHIFT), static_cast<bool>(held & Modifier::CONTROL),
                           static_cast<bool>(held & Modifier::ALT), static_cast<bool>(held & Modifier::SUPER)};
    const int own = modifier_of(key);
    if (own != MODIFIERS) now[own] = down;
    for (int i = 0; i < MODIFIERS; ++i) {
#if QUARN_IMGUI_QUEUE
#if IMGUI_VERSION_NUM >= 18800
        if (now[i] != data.modifiers_held[i]) ImGui::GetIO().AddKeyEvent(modifier_keys[i], now[i]);
#endif
#else
        data.modifiers_seen[i] = data.modifiers_seen[i] || now[i];
#endif
        data.modifiers_held[i] = now[i];
    }
#if QUARN_IMGUI_QUEUE && IMGUI_VERSION_NUM < 18800
    // 1.87 takes the modifiers as one set.
    ImGui::GetIO().AddKeyModsEvent((now[SHIFT] ? ImGuiKeyModFlags_Shift : 0) |
                                   (now[CONTROL] ? ImGuiKeyModFlags_Ctrl : 0) | (now[ALT] ? ImGuiKeyModFlags_Alt : 0) |
                                   (now[SUPER] ? ImGuiKeyModFlags_Super : 0));
#endif
}

void key(Backend& data, const Events::EventKeyBase& event, bool down) {
    follow_modifiers(data, event.modifiers, event.key, down);
#if QUARN_IMGUI_QUEUE
    const ImGuiKey key = imgui_key(event.key);
    if (key == ImGuiKey_None) return;
    ImGuiIO& io = ImGui::GetIO();
    io.AddKeyEvent(key, down);
    // The same index as before 1.87, for applications that still ask ImGui
    // about keys by it.
    io.SetKeyEventNativeData(key, static_cast<int>(event.key), static_cast<int>(event.scancode), key_index(event.key));
#else
    const int index = key_index(event.key);
    if (index < 0) return;
    data.keys_held[index] = down;
    if (down) data.keys_pressed[index] = true;
#endif
}

void pointer(Backend& data, float x, float y) {
    data.pointer[0] = x;
    data.pointer[1] = y;
#if QUARN_IMGUI_QUEUE
    ImGui::GetIO().AddMousePosEvent(x, y);
#endif
}

bool any_button_held(const Backend& data) {
    for (bool held : data.buttons_held)
        if (held) return true;
    return false;
}

// ImGui's buttons: 0 left, 1 right, 2 middle, 3 and 4 back and forward.
void button(Backend& data, int which, bool down, Modifier held) {
    follow_modifiers(data, held, 0, false);
    data.buttons_held[which] = down;
#if QUARN_IMGUI_QUEUE
    ImGui::GetIO().AddMouseButtonEvent(which, down);
#else
    if (down) data.buttons_pressed[which] = true;
#endif
    // The last button of a drag let go outside the frame: the pointer is
    // no longer ImGui's to follow.
    const int* size = data.frame->dimensions;
    if (!down && !any_button_held(data) && data.pointer[0] != -FLT_MAX &&
        (data.pointer[0] < 0 || data.pointer[1] < 0 || data.pointer[0] >= static_cast<float>(size[0]) ||
         data.pointer[1] >= static_cast<float>(size[1]))) {
        data.pointer_inside = false;
        pointer(data, -FLT_MAX, -FLT_MAX);
    }
}

Cursor quarn_cursor(ImGuiMouseCursor cursor) {
    switch (cursor) {
        case ImGuiMouseCursor_TextInput: return Cursor::TEXT;
        case ImGuiMouseCursor_ResizeAll: return Cursor::MOVE;
        case ImGuiMouseCursor_ResizeNS: return Cursor::RESIZE_VERTICAL;
        case ImGuiMouseCursor_ResizeEW: return Cursor::RESIZE_HORIZONTAL;
        case ImGuiMouseCursor_ResizeNESW: return Cursor::RESIZE_NESW;
        case ImGuiMouseCursor_ResizeNWSE: return Cursor::RESIZE_NWSE;
        case ImGuiMouseCursor_Hand: return Cursor::HAND;
        case ImGuiMouseCursor_NotAllowed: return Cursor::NOT_ALLOWED;
        case ImGuiMouseCursor_None: return Cursor::HIDDEN;
        default: return Cursor::ARROW;
    }
}

}  // namespace

bool ImGui_ImplQuarn_Init(Quarn::Frame::FrameBase* frame) {
    if (!frame) {
        Quarn::_quarn_print_warning("Cannot set Dear ImGui up for a null frame!");
        return false;
    }
    if (!ImGui::GetCurrentContext()) {
        Quarn::_quarn_print_warning("Cannot set Dear ImGui up without a current ImGui context!");
        return false;
    }
    ImGuiIO& io = ImGui::GetIO();
    if (io.BackendPlatformUserData) {
        Quarn::_quarn_print_warning("Cannot set Dear ImGui up twice: its context has a platform backend already!");
        return false;
    }
    using Quarn::Flags::Report;
    frame->set_report(frame->_quarn_backing->report | Report::WHEEL | Report::RESIZE | Report::TEXT | Report::FOCUS |
                      Report::CROSSING | Report::BUTTONS);

    auto* data = new Backend;
    data->frame = frame;
    io.BackendPlatformUserData = data;
    io.BackendPlatformName = "imgui_impl_quarn";
    io.BackendFlags |= ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_HasSetMousePos;
#if IMGUI_VERSION_NUM >= 19110
    ImGui::GetPlatformIO().Platform_GetClipboardTextFn = get_clipboard_callback;
    ImGui::GetPlatformIO().Platform_SetClipboardTextFn = set_clipboard_callback;
#else
    io.GetClipboardTextFn = get_clipboard_callback;
    io.SetClipboardTextFn = set_clipboard_callback;
    io.ClipboardUserData = data;
#endif
#if !QUARN_IMGUI_QUEUE
    io.KeyMap[ImGuiKey_Tab] = key_index(XK_Tab);
    io.KeyMap[ImGuiKey_LeftArrow] = key_index(XK_Left);
    io.KeyMap[ImGuiKey_RightArrow] = key_index(XK_Right);
    io.KeyMap[ImGuiKey_UpArrow] = key_index(XK_Up);
    io.KeyMap[ImGuiKey_DownArrow] = key_index(XK_Down);
    io.KeyMap[ImGuiKey_PageUp] = key_index(XK_Page_Up);
    io.KeyMap[ImGuiKey_PageDown] = key_index(XK_Page_Down);
    io.KeyMap[ImGuiKey_Home] = key_index(XK_Home);
    io.KeyMap[ImGuiKey_End] = key_index(XK_End);
    io.KeyMap[ImGuiKey_Insert] = key_index(XK_Insert);
    io.KeyMap[ImGuiKey_Delete] = key_index(XK_Delete);
    io.KeyMap[ImGuiKey_Backspace] = key_index(XK_BackSpace);
    io.KeyMap[ImGuiKey_Space] = key_index(XK_space);
    io.KeyMap[ImGuiKey_Enter] = key_index(XK_Return);
    io.KeyMap[ImGuiKey_Escape] = key_index(XK_Escape);
    io.KeyMap[ImGuiKey_KeyPadEnter] = key_index(XK_KP_Enter);
    io.KeyMap[ImGuiKey_A] = key_index(XK_a);
    io.KeyMap[ImGuiKey_C] = key_index(XK_c);
    io.KeyMap[ImGuiKey_V] = key_index(XK_v);
    io.KeyMap[ImGuiKey_X] = key_index(XK_x);
    io.KeyMap[ImGuiKey_Y] = key_index(XK_y);
    io.KeyMap[ImGuiKey_Z] = key_index(XK_z);
#endif
    return true;
}

void ImGui_ImplQuarn_Shutdown() {
    Backend* data = backend();
    if (!data) return;
    ImGuiIO& io = ImGui::GetIO();
    io.BackendPlatformUserData = nullptr;
    io.BackendPlatformName = nullptr;
    io.BackendFlags &= ~(ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_HasSetMousePos);
#if IMGUI_VERSION_NUM >= 19110
    ImGui::GetPlatformIO().Platform_GetClipboardTextFn = nullptr;
    ImGui::GetPlatformIO().Platform_SetClipboardTextFn = nullptr;
#else
    io.GetClipboardTextFn = nullptr;
    io.SetClipboardTextFn = nullptr;
    io.ClipboardUserData = nullptr;
#endif
    delete data;
}

void ImGui_ImplQuarn_NewFrame() {
    Backend* data = backend();
    if (!data) {
        Quarn::_quarn_print_warning("Cannot start a Dear ImGui frame before ImGui_ImplQuarn_Init!");
        return;
    }
    ImGuiIO& io = ImGui::GetIO();
    Quarn::Frame::FrameBase& frame = *data->frame;
    io.DisplaySize = ImVec2(static_cast<float>(frame.dimensions[0]), static_cast<float>(frame.dimensions[1]));
    io.DisplayFramebufferScale = ImVec2(1.0f, 1.0f);

    const auto now = std::chrono::steady_clock::now();
    const float step = data->timed ? std::chrono::duration<float>(now - data->last_frame).count() : 1.0f / 60.0f;
    // ImGui refuses a step of zero, which a coarse clock can give.
    io.DeltaTime = step > 0.0f ? step : 1e-6f;
    data->last_frame = now;
    data->timed = true;

    if (io.WantSetMousePos && data->pointer_inside) {
        frame.set_mouse_position(static_cast<int>(io.MousePos.x), static_cast<int>(io.MousePos.y));
        pointer(*data, io.MousePos.x, io.MousePos.y);
    }
#if !QUARN_IMGUI_QUEUE
    io.MousePos = ImVec2(data->pointer[0], data->pointer[1]);
    for (int i = 0; i < 5; ++i) {
        io.MouseDown[i] = data->buttons_held[i] || data->buttons_pressed[i];
        data->buttons_pressed[i] = false;
    }
    for (int i = 0; i < 512; ++i) {
        io.KeysDown[i] = data->keys_held[i] || data->keys_pressed[i];
        data->keys_pressed[i] = false;
    }
    bool* const modifiers[MODIFIERS] = {&io.KeyShift, &io.KeyCtrl, &io.KeyAlt, &io.KeySuper};
    for (int i = 0; i < MODIFIERS; ++i) {
        *modifiers[i] = data->modifiers_held[i] || data->modifiers_seen[i];
        data->modifiers_seen[i] = false;
    }
#endif

    if (io.ConfigFlags & ImGuiConfigFlags_NoMouseCursorChange) return;
    const ImGuiMouseCursor wanted = io.MouseDrawCursor ? ImGuiMouseCursor_None : ImGui::GetMouseCursor();
    if (wanted != data->cursor_shown) {
        frame.set_cursor(quarn_cursor(wanted));
        data->cursor_shown = wanted;
    }
}

bool ImGui_ImplQuarn_ProcessEvent(const Quarn::Input::State* state, const Events::EventBase* event) {
    Backend* data = backend();
    if (!data || !event || state != data->frame->input_state) return false;
    ImGuiIO& io = ImGui::GetIO();
    switch (event->type) {
        case 1: key(*data, *static_cast<const Events::EventKeyDown*>(event), true); return io.WantCaptureKeyboard;
        case 2: key(*data, *static_cast<const Events::EventKeyUp*>(event), false); return io.WantCaptureKeyboard;
        case 32768:
            io.AddInputCharactersUTF8(static_cast<const Events::EventText*>(event)->utf8);
            return io.WantCaptureKeyboard;
        case 4:
        case 8:
        case 16:
        case 32:
        case 64:
        case 128: {
            // Left, middle, right; the ups are the downs' codes times 8.
            const int code = event->type >= 32 ? event->type / 8 : event->type;
            const int which = code == 4 ? 0 : code == 16 ? 1 : 2;
            button(*data, which, event->type < 32, static_cast<const Events::EventMouseButtonBase*>(event)->modifiers);
            return io.WantCaptureMouse;
        }
        case 1048576:
        case 2097152: {
            const auto* extra = static_cast<const Events::EventMouseButtonExtraBase*>(event);
            if (extra->button == 8 || extra->button == 9)
                button(*data, extra->button == 8 ? 3 : 4, event->type == 1048576, extra->modifiers);
            return io.WantCaptureMouse;
        }
        case 256: {
            const auto* scroll = static_cast<const Events::EventMouseScroll*>(event);
            // ImGui's horizontal wheel is positive to the left; Quarn's to the right.
#if QUARN_IMGUI_QUEUE
            io.AddMouseWheelEvent(static_cast<float>(-scroll->delta[0]), static_cast<float>(scroll->delta[1]));
#else
            io.MouseWheelH -= static_cast<float>(scroll->delta[0]);
            io.MouseWheel += static_cast<float>(scroll->delta[1]);
#endif
            return io.WantCaptureMouse;
        }
        case 512: {
            const auto* move = static_cast<const Events::EventMouseMove*>(event);
            data->pointer_inside = true;
            pointer(*data, static_cast<float>(move->x), static_cast<float>(move->y));
            return io.WantCaptureMouse;
        }
        case 131072: {
            const auto* enter = static_cast<const Events::EventMouseEnter*>(event);
            data->pointer_inside = true;
            pointer(*data, static_cast<float>(enter->x), static_cast<float>(enter->y));
            return io.WantCaptureMouse;
        }
        case 262144:
            data->pointer_inside = false;
            // Where a button pressed in the frame is held, X goes on
            // reporting the pointer's moves outside it (its implicit grab),
            // after this leave: ImGui's drag keeps the pointer meanwhile, and
            // the release outside ends it (button()).
            if (!any_button_held(*data)) pointer(*data, -FLT_MAX, -FLT_MAX);
            return io.WantCaptureMouse;
        case 65536: io.AddFocusEvent(static_cast<const Events::EventFrameFocus*>(event)->focused); return false;
        default: return false;
    }
}

#pragma once
// Only the declarations of Dear ImGui 1.87 and later that Quarn::imgui's
// input-queue side uses, as imgui.h documents them, at the version
// QUARN_IMGUI_SHIM_VERSION names: Debian ships 1.86, so the build compiles
// that side against this to keep it from rotting unseen. Nothing links it.

#define IMGUI_VERSION_NUM QUARN_IMGUI_SHIM_VERSION

struct ImGuiContext;
struct ImVec2 {
    float x, y;
    ImVec2() : x(0), y(0) {}
    ImVec2(float x, float y) : x(x), y(y) {}
};

using ImGuiMouseCursor = int;
using ImGuiBackendFlags = int;
using ImGuiConfigFlags = int;

#if IMGUI_VERSION_NUM >= 18900
enum ImGuiKey : int {
#else
using ImGuiKey = int;
enum ImGuiKey_ {
#endif
    ImGuiKey_None = 0,
    ImGuiKey_Tab = 512,
    ImGuiKey_LeftArrow,
    ImGuiKey_RightArrow,
    ImGuiKey_UpArrow,
    ImGuiKey_DownArrow,
    ImGuiKey_PageUp,
    ImGuiKey_PageDown,
    ImGuiKey_Home,
    ImGuiKey_End,
    ImGuiKey_Insert,
    ImGuiKey_Delete,
    ImGuiKey_Backspace,
    ImGuiKey_Space,
    ImGuiKey_Enter,
    ImGuiKey_Escape,
    ImGuiKey_LeftCtrl,
    ImGuiKey_LeftShift,
    ImGuiKey_LeftAlt,
    ImGuiKey_LeftSuper,
    ImGuiKey_RightCtrl,
    ImGuiKey_RightShift,
    ImGuiKey_RightAlt,
    ImGuiKey_RightSuper,
    ImGuiKey_Menu,
    ImGuiKey_0,
    ImGuiKey_A = ImGuiKey_0 + 10,
    ImGuiKey_F1 = ImGuiKey_A + 26,
    ImGuiKey_Apostrophe = ImGuiKey_F1 + 12,
    ImGuiKey_Comma,
    ImGuiKey_Minus,
    ImGuiKey_Period,
    ImGuiKey_Slash,
    ImGuiKey_Semicolon,
    ImGuiKey_Equal,
    ImGuiKey_LeftBracket,
    ImGuiKey_Backslash,
    ImGuiKey_RightBracket,
    ImGuiKey_GraveAccent,
    ImGuiKey_CapsLock,
    ImGuiKey_ScrollLock,
    ImGuiKey_NumLock,
    ImGuiKey_PrintScreen,
    ImGuiKey_Pause,
    ImGuiKey_Keypad0,
    ImGuiKey_KeypadDecimal = ImGuiKey_Keypad0 + 10,
    ImGuiKey_KeypadDivide,
    ImGuiKey_KeypadMultiply,
    ImGuiKey_KeypadSubtract,
    ImGuiKey_KeypadAdd,
    ImGuiKey_KeypadEnter,
    ImGuiKey_KeypadEqual,
#if IMGUI_VERSION_NUM >= 18900
    ImGuiMod_Ctrl = 1 << 12,
    ImGuiMod_Shift = 1 << 13,
    ImGuiMod_Alt = 1 << 14,
    ImGuiMod_Super = 1 << 15,
#elif IMGUI_VERSION_NUM >= 18800
    ImGuiKey_ModCtrl = 641,
    ImGuiKey_ModShift,
    ImGuiKey_ModAlt,
    ImGuiKey_ModSuper,
#endif
};

#if IMGUI_VERSION_NUM < 18800
using ImGuiKeyModFlags = int;
enum ImGuiKeyModFlags_ {
    ImGuiKeyModFlags_None = 0,
    ImGuiKeyModFlags_Ctrl = 1 << 0,
    ImGuiKeyModFlags_Shift = 1 << 1,
    ImGuiKeyModFlags_Alt = 1 << 2,
    ImGuiKeyModFlags_Super = 1 << 3,
};
#endif

enum ImGuiConfigFlags_ { ImGuiConfigFlags_NoMouseCursorChange = 1 << 5 };
enum ImGuiBackendFlags_ { ImGuiBackendFlags_HasMouseCursors = 1 << 1, ImGuiBackendFlags_HasSetMousePos = 1 << 2 };
enum ImGuiMouseCursor_ {
    ImGuiMouseCursor_None = -1,
    ImGuiMouseCursor_Arrow = 0,
    ImGuiMouseCursor_TextInput,
    ImGuiMouseCursor_ResizeAll,
    ImGuiMouseCursor_ResizeNS,
    ImGuiMouseCursor_ResizeEW,
    ImGuiMouseCursor_ResizeNESW,
    ImGuiMouseCursor_ResizeNWSE,
    ImGuiMouseCursor_Hand,
    ImGuiMouseCursor_NotAllowed,
    ImGuiMouseCursor_COUNT
};

struct ImGuiIO {
    ImGuiConfigFlags ConfigFlags;
    ImGuiBackendFlags BackendFlags;
    ImVec2 DisplaySize;
    float DeltaTime;
    ImVec2 DisplayFramebufferScale;
    bool MouseDrawCursor;
    const char* BackendPlatformName;
    void* BackendPlatformUserData;
#if IMGUI_VERSION_NUM < 19110
    const char* (*GetClipboardTextFn)(void* user_data);
    void (*SetClipboardTextFn)(void* user_data, const char* text);
    void* ClipboardUserData;
#endif
    ImVec2 MousePos;
    bool WantCaptureMouse;
    bool WantCaptureKeyboard;
    bool WantSetMousePos;

    void AddKeyEvent(ImGuiKey key, bool down);
#if IMGUI_VERSION_NUM < 18800
    void AddKeyModsEvent(ImGuiKeyModFlags modifiers);
#endif
    void AddMousePosEvent(float x, float y);
    void AddMouseButtonEvent(int button, bool down);
    void AddMouseWheelEvent(float wheel_x, float wheel_y);
    void AddFocusEvent(bool focused);
    void AddInputCharactersUTF8(const char* str);
    void SetKeyEventNativeData(ImGuiKey key, int native_keycode, int native_scancode, int native_legacy_index = -1);
};

#if IMGUI_VERSION_NUM >= 19110
struct ImGuiPlatformIO {
    const char* (*Platform_GetClipboardTextFn)(ImGuiContext* ctx);
    void (*Platform_SetClipboardTextFn)(ImGuiContext* ctx, const char* text);
};
#endif

namespace ImGui {
ImGuiContext* GetCurrentContext();
ImGuiIO& GetIO();
#if IMGUI_VERSION_NUM >= 19110
ImGuiPlatformIO& GetPlatformIO();
#endif
ImGuiMouseCursor GetMouseCursor();
}  // namespace ImGui

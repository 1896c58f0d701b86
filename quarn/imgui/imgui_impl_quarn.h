#pragma once
// Dear ImGui's platform side on a Quarn frame: keys, text, the pointer, the
// wheel, cursors, the clipboard, focus and size. Pair it with a renderer
// backend (Debian's libimgui ships imgui_impl_opengl2 and _opengl3). Link
// Quarn::imgui (CMake) or quarn-imgui (pkg-config); the core library never
// links ImGui.
//
//     ImGui::CreateContext();
//     ImGui_ImplQuarn_Init(&frame);
//     ImGui_ImplOpenGL2_Init();
//     // in the frame:  void callback_input(const State* s, const EventBase* e) override {
//     //                    if (ImGui_ImplQuarn_ProcessEvent(s, e)) return;  // ImGui's, not the scene's
//     //                }
//     while (running) {
//         Quarn::Input::Events::handle();
//         ImGui_ImplOpenGL2_NewFrame();
//         ImGui_ImplQuarn_NewFrame();
//         ImGui::NewFrame();
//         ...
//         ImGui::Render();
//         frame.draw();   // callback_draw ends with ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData())
//     }
//     ImGui_ImplOpenGL2_Shutdown();
//     ImGui_ImplQuarn_Shutdown();
//     ImGui::DestroyContext();

namespace Quarn {
namespace Frame {
class FrameBase;
}
namespace Input {
class State;
namespace Events {
class EventBase;
}
}  // namespace Input
}  // namespace Quarn

/// Makes `frame` the current ImGui context's platform: adds the reports
/// ImGui needs (WHEEL, RESIZE, TEXT, FOCUS, CROSSING, BUTTONS) to those the
/// frame has, and sets ImGui's IO up: the keys (a key map before ImGui 1.87,
/// key events from 1.87 on), the clipboard through Quarn::set_clipboard and
/// get_clipboard, ImGui's cursor shapes through FrameBase::set_cursor, the
/// backend's name and flags. One frame per ImGui context. Returns false,
/// with a warning, for a null frame, with no current ImGui context, or when
/// the context has a platform backend already. Costs the few round trips of
/// set_report (the events selected, the focus asked where it is).
bool ImGui_ImplQuarn_Init(Quarn::Frame::FrameBase* frame);

/// Gives the current ImGui context's IO back as it was before Init (no
/// clipboard, no cursors, no backend) and forgets the frame. The frame keeps
/// its reports and the last cursor set. Call it before the frame is
/// destroyed; without Init it does nothing.
void ImGui_ImplQuarn_Shutdown();

/// Tells ImGui, before the application's ImGui::NewFrame(), the display size
/// (the frame's size), the framebuffer scale (1: X windows are sized in
/// device pixels), the time since the last call, the pointer's position
/// (kept while a button held in the frame drags outside it) and the buttons
/// and keys, and shows the cursor ImGui asked for in the last frame (only
/// when it changed). Moves the pointer where ImGui asks (io.WantSetMousePos).
/// No round trip. Without Init it warns and does nothing.
void ImGui_ImplQuarn_NewFrame();

/// Passes one of the frame's events to ImGui and returns whether ImGui wants
/// it, so the application can leave it alone: for pointer events (moves,
/// buttons, wheel, crossings) io.WantCaptureMouse (the pointer over one of
/// ImGui's windows, or a drag ImGui started), for keys and text
/// io.WantCaptureKeyboard (a text field active), as the last NewFrame left
/// them; false for the frame's other events. Forward every event from the
/// root overload `callback_input(const State*, const EventBase*)`, which
/// each event reaches first. Events of another frame than Init's (told by
/// `state`), and calls without Init, change nothing and return false.
/// No allocation and no round trip.
bool ImGui_ImplQuarn_ProcessEvent(const Quarn::Input::State* state, const Quarn::Input::Events::EventBase* event);

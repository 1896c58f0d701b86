// The Dear ImGui example's one frame: a GL scene (a triangle on a background
// that a click on the bare scene changes) with ImGui on top: a window with a
// button, a text field, a slider and a list that scrolls, and a status box
// held to the frame's bottom-right corner, which follows its size. Every
// event goes to ImGui first; the scene takes only what ImGui leaves. It keeps
// what the test reads: the widgets' places, what they hold, and ImGui's last
// answer for each kind of event.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <cstdio>
#include <map>

#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/imgui/imgui_impl_quarn.h"
#include "quarn/input/events/events.h"

/// A widget's rectangle in the frame's pixels.
struct Box {
    float left = 0, top = 0, right = 0, bottom = 0;
    int x(float at = 0.5f) const { return static_cast<int>(left + (right - left) * at); }
    int y(float at = 0.5f) const { return static_cast<int>(top + (bottom - top) * at); }
};

class ImGuiFrame : public Quarn::Frame::FrameBase {
public:
    ImGuiFrame()
        : FrameBase(nullptr,
                    Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR | Quarn::Flags::Style::RESIZABLE,
                    Quarn::Flags::Button::CLOSE) {
        set_size(480, 360);
        set_title("imgui");
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    // Every event reaches this overload first: ImGui sees it, and says
    // whether the scene should leave it alone.
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventBase* event) override {
        imgui_wants = ImGui_ImplQuarn_ProcessEvent(state, event);
        answers[event->type] = imgui_wants;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseButtonLeftDown*) override {
        if (!imgui_wants) ++scene_clicks;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (!imgui_wants && event->key == XK_Escape) running = false;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }

    /// One frame of the loop: ImGui's frame, then the scene and ImGui drawn.
    /// Bind the context to the frame first.
    void frame() {
        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplQuarn_NewFrame();
        ImGui::NewFrame();
        build();
        ImGui::Render();
        draw();
    }

    void callback_draw() override {
        glViewport(0, 0, dimensions[0], dimensions[1]);
        const float shade = scene_clicks % 2 ? 0.45f : 0.15f;
        glClearColor(0.1f, shade, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(0.9f, 0.9f, 0.6f);
        glBegin(GL_TRIANGLES);
        glVertex2f(0.6f, 0.8f);
        glVertex2f(0.2f, -0.2f);
        glVertex2f(0.95f, -0.2f);
        glEnd();
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    }

    bool running = true;
    bool imgui_wants = false;     ///< ImGui's answer for the event in hand.
    std::map<int, bool> answers;  ///< ImGui's last answer for each event type.
    int scene_clicks = 0;         ///< Left presses the scene got (ImGui left them).
    int button_presses = 0;
    char text[64] = "";
    float value = 10.0f;  ///< The slider's.
    int chosen = -1;      ///< The list's item chosen.
    float list_scroll = 0;
    /// @name Where ImGui last put them
    //@{
    Box button, field, slider, list, status;
    //@}

private:
    static Box last_item() {
        const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
        return {min.x, min.y, max.x, max.y};
    }

    void build() {
        const ImGuiWindowFlags fixed =
            ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse;
        ImGui::SetNextWindowPos(ImVec2(10, 10));
        ImGui::SetNextWindowSize(ImVec2(260, 300));
        ImGui::Begin("Controls", nullptr, fixed);
        if (ImGui::Button("Press me")) ++button_presses;
        button = last_item();
        ImGui::InputText("text", text, sizeof text);
        field = last_item();
        ImGui::SliderFloat("value", &value, 0.0f, 100.0f);
        slider = last_item();
        ImGui::BeginChild("list", ImVec2(0, 150), true);
        for (int i = 0; i < 50; ++i) {
            char label[16];
            std::snprintf(label, sizeof label, "item %d", i);
            if (ImGui::Selectable(label, chosen == i)) chosen = i;
        }
        list_scroll = ImGui::GetScrollY();
        ImGui::EndChild();
        list = last_item();
        ImGui::End();

        // Held to the bottom-right corner, whatever the frame's size.
        const ImVec2 display = ImGui::GetIO().DisplaySize;
        ImGui::SetNextWindowPos(ImVec2(display.x - 10, display.y - 10), ImGuiCond_Always, ImVec2(1, 1));
        ImGui::PushStyleColor(ImGuiCol_WindowBg, ImVec4(0.9f, 0.5f, 0.1f, 1.0f));
        ImGui::Begin("status", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize);
        ImGui::Text("%.0f x %.0f", display.x, display.y);
        const ImVec2 at = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
        status = {at.x, at.y, at.x + size.x, at.y + size.y};
        ImGui::End();
        ImGui::PopStyleColor();
    }
};

/// Sets ImGui up on `frame`, drawn with the context bound to it: the
/// platform backend, the OpenGL 2 renderer, sizes scaled to the desktop's.
inline void start_imgui(ImGuiFrame& frame) {
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini in the working directory
    const float scale = Quarn::get_content_scale();
    ImGui::GetStyle().ScaleAllSizes(scale);
    ImGui::GetIO().FontGlobalScale = scale;
    ImGui_ImplQuarn_Init(&frame);
    ImGui_ImplOpenGL2_Init();
}

/// The reverse of start_imgui, before the frame goes.
inline void stop_imgui() {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplQuarn_Shutdown();
    ImGui::DestroyContext();
}

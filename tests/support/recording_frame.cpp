#include "tests/support/recording_frame.h"

#include <algorithm>

namespace quarn_test {

using namespace Quarn::Input::Events;

RecordingFrame::RecordingFrame(std::vector<Call>& log, Quarn::Frame::FrameBase* parent)
    : FrameBase(parent, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE),
      log(log) {}

void RecordingFrame::record(const char* level, const Quarn::Input::State* state, const EventBase* event) {
    Call call{};
    call.level = level;
    call.event = event;
    call.type = event->type;
    call.state = state;
    if (const auto* key = dynamic_cast<const EventKeyBase*>(event)) {
        call.key = key->key;
        call.key_held = state->key_pressed(static_cast<int>(key->key));
        call.scancode = key->scancode;
        call.modifiers = key->modifiers;
    }
    if (const auto* down = dynamic_cast<const EventKeyDown*>(event)) call.repeat = down->repeat;
    if (const auto* button = dynamic_cast<const EventMouseButtonBase*>(event)) call.modifiers = button->modifiers;
    if (const auto* move = dynamic_cast<const EventMouseMove*>(event)) {
        call.move[0] = move->x;
        call.move[1] = move->y;
        call.move[2] = move->x_rel;
        call.move[3] = move->y_rel;
    }
    if (const auto* scroll = dynamic_cast<const EventMouseScroll*>(event)) {
        call.delta[0] = scroll->delta[0];
        call.delta[1] = scroll->delta[1];
    }
    if (const auto* resize = dynamic_cast<const EventFrameResize*>(event)) {
        call.size[0] = resize->width;
        call.size[1] = resize->height;
    }
    if (const auto* text = dynamic_cast<const EventText*>(event)) {
        call.text = text->utf8;
        call.codepoint = text->codepoint;
    }
    if (const auto* focus = dynamic_cast<const EventFrameFocus*>(event)) call.focused = focus->focused;
    if (const auto* enter = dynamic_cast<const EventMouseEnter*>(event)) {
        call.at[0] = enter->x;
        call.at[1] = enter->y;
    }
    if (const auto* leave = dynamic_cast<const EventMouseLeave*>(event)) {
        call.at[0] = leave->x;
        call.at[1] = leave->y;
    }
    if (const auto* extra = dynamic_cast<const EventMouseButtonExtraBase*>(event)) call.button = extra->button;
    call.dimensions[0] = dimensions[0];
    call.dimensions[1] = dimensions[1];
    std::copy(state->mouse_buttons, state->mouse_buttons + 3, call.buttons);
    std::copy(state->mouse_position, state->mouse_position + 2, call.position);
    std::copy(state->mouse_position_last, state->mouse_position_last + 2, call.position_last);
    std::copy(state->mouse_relative, state->mouse_relative + 2, call.relative);
    std::copy(state->mouse_wheel_relative, state->mouse_wheel_relative + 2, call.wheel);
    log.push_back(call);
}

std::vector<std::string> RecordingFrame::levels() const {
    std::vector<std::string> result;
    for (const Call& call : log) result.push_back(call.level);
    return result;
}

std::vector<Call> calls_at(const std::vector<Call>& log, const std::string& level) {
    std::vector<Call> result;
    std::copy_if(log.begin(), log.end(), std::back_inserter(result), [&](const Call& c) { return c.level == level; });
    return result;
}

}  // namespace quarn_test

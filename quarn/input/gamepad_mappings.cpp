#include "quarn/input/gamepad_mappings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace Quarn {
namespace Input {

namespace {

using Mappings = std::unordered_map<std::string, _quarn_GamepadMapping>;

// Added at run time; looked at before the built-in ones, which stay as parsed.
Mappings* added = nullptr;
Mappings* built_in = nullptr;

const char* const kButtonNames[GAMEPAD_BUTTON_COUNT] = {
    "a",     "b",         "x",          "y",    "leftshoulder", "rightshoulder", "back",  "start",
    "guide", "leftstick", "rightstick", "dpup", "dpright",      "dpdown",        "dpleft"};
const char* const kAxisNames[GAMEPAD_AXIS_COUNT] = {"leftx",  "lefty",       "rightx",
                                                    "righty", "lefttrigger", "righttrigger"};

int find_name(const char* const* names, int count, const std::string& name) {
    for (int i = 0; i < count; ++i)
        if (name == names[i]) return i;
    return -1;
}

bool parse_number(const std::string& text, size_t from, size_t to, int* value) {
    if (from >= to || to - from > 4) return false;
    int result = 0;
    for (size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    *value = result;
    return true;
}

// "b3", "a2", "+a2", "-a1", "a1~", "h0.4".
bool parse_source(const std::string& text, _quarn_GamepadSource* source) {
    size_t at = 0;
    size_t end = text.size();
    if (at < end && (text[at] == '+' || text[at] == '-')) source->half = text[at++] == '+' ? 1 : -1;
    if (end > at && text[end - 1] == '~') {
        source->invert = true;
        --end;
    }
    if (at >= end) return false;
    const char kind = text[at++];
    if (kind == 'h') {
        const size_t dot = text.find('.', at);
        if (dot == std::string::npos || dot >= end) return false;
        source->kind = _quarn_GamepadSource::HAT;
        return parse_number(text, at, dot, &source->index) && parse_number(text, dot + 1, end, &source->hat_mask) &&
               source->hat_mask > 0 && source->hat_mask <= 8;
    }
    if (kind != 'a' && kind != 'b') return false;
    source->kind = kind == 'a' ? _quarn_GamepadSource::AXIS : _quarn_GamepadSource::BUTTON;
    return parse_number(text, at, end, &source->index);
}

void load_built_in() {
    if (built_in) return;
    built_in = new Mappings;
    std::string guid;
    _quarn_GamepadMapping mapping;
    for (int i = 0; i < _quarn_gamecontrollerdb_lines; ++i) {
        mapping = _quarn_GamepadMapping();
        if (_quarn_parse_mapping(_quarn_gamecontrollerdb[i], &guid, &mapping)) (*built_in)[guid] = mapping;
    }
}

float clamp(float value, float low, float high) { return std::min(std::max(value, low), high); }

// A source's value: a button or hat 0 or 1, an axis -1 to 1, or 0 to 1 for one half.
float read(const _quarn_GamepadSource& source, const Joystick& joystick) {
    const auto index = static_cast<size_t>(source.index);
    switch (source.kind) {
        case _quarn_GamepadSource::BUTTON:
            return index < joystick.buttons.size() && joystick.buttons[index] ? 1.0f : 0.0f;
        case _quarn_GamepadSource::HAT:
            return index < joystick.hats.size() && (joystick.hats[index] & source.hat_mask) ? 1.0f : 0.0f;
        case _quarn_GamepadSource::AXIS: {
            if (index >= joystick.axes.size()) return 0.0f;
            float value = source.invert ? -joystick.axes[index] : joystick.axes[index];
            if (source.half > 0) value = std::max(value, 0.0f);
            if (source.half < 0) value = std::max(-value, 0.0f);
            return value;
        }
        default: return 0.0f;
    }
}

// A source read as 0 to 1: a whole axis spans it from end to end.
float read_unsigned(const _quarn_GamepadSource& source, const Joystick& joystick) {
    const float value = read(source, joystick);
    return source.kind == _quarn_GamepadSource::AXIS && source.half == 0 ? (value + 1.0f) / 2.0f : value;
}

}  // namespace

bool _quarn_parse_mapping(const std::string& line, std::string* guid, _quarn_GamepadMapping* mapping) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= line.size()) {
        size_t comma = line.find(',', start);
        if (comma == std::string::npos) comma = line.size();
        std::string field = line.substr(start, comma - start);
        while (!field.empty() && (field.back() == '\r' || field.back() == ' ' || field.back() == '\t'))
            field.pop_back();
        fields.push_back(field);
        start = comma + 1;
    }
    if (fields.size() < 3 || fields[0].size() != 32) return false;
    std::string id = fields[0];
    for (char& c : id) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    _quarn_GamepadMapping parsed;
    parsed.name = fields[1];
    int taken = 0;
    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        const size_t colon = field.find(':');
        if (colon == std::string::npos) continue;
        std::string target = field.substr(0, colon);
        const std::string value = field.substr(colon + 1);
        if (target == "platform") {
            if (value != "Linux") return false;
            continue;
        }
        int output_half = 0;
        if (!target.empty() && (target[0] == '+' || target[0] == '-')) {
            output_half = target[0] == '+' ? 1 : -1;
            target.erase(0, 1);
        }
        _quarn_GamepadSource source;
        const int button = find_name(kButtonNames, GAMEPAD_BUTTON_COUNT, target);
        const int axis = find_name(kAxisNames, GAMEPAD_AXIS_COUNT, target);
        // Fields this library has no use for (crc, hint, the misc buttons and paddles) are passed over.
        if (button < 0 && axis < 0) continue;
        if (!parse_source(value, &source)) return false;
        if (button >= 0)
            parsed.buttons[button] = source;
        else if (output_half > 0)
            parsed.positive[axis] = source;
        else if (output_half < 0)
            parsed.negative[axis] = source;
        else
            parsed.axes[axis] = source;
        ++taken;
    }
    if (!taken) return false;
    *guid = id;
    *mapping = parsed;
    return true;
}

const _quarn_GamepadMapping* _quarn_find_mapping(const std::string& guid) {
    if (added) {
        const auto entry = added->find(guid);
        if (entry != added->end()) return &entry->second;
    }
    load_built_in();
    const auto entry = built_in->find(guid);
    return entry == built_in->end() ? nullptr : &entry->second;
}

int _quarn_add_mappings(const std::string& text) {
    int taken = 0;
    std::string guid;
    _quarn_GamepadMapping mapping;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        mapping = _quarn_GamepadMapping();
        if (!_quarn_parse_mapping(line, &guid, &mapping)) continue;
        if (!added) added = new Mappings;
        (*added)[guid] = mapping;
        ++taken;
    }
    return taken;
}

void _quarn_forget_added_mappings() {
    delete added;
    added = nullptr;
}

void _quarn_apply_mapping(const _quarn_GamepadMapping& mapping, const Joystick& joystick, GamepadState* state) {
    for (int i = 0; i < GAMEPAD_BUTTON_COUNT; ++i) {
        const _quarn_GamepadSource& source = mapping.buttons[i];
        state->buttons[i] = read(source, joystick) > 0.5f;
    }
    for (int i = 0; i < GAMEPAD_AXIS_COUNT; ++i) {
        const bool trigger =
            i == static_cast<int>(GamepadAxis::LEFT_TRIGGER) || i == static_cast<int>(GamepadAxis::RIGHT_TRIGGER);
        const _quarn_GamepadSource& whole = mapping.axes[i];
        float value = 0.0f;
        if (trigger) {
            value = read_unsigned(whole, joystick);
        } else if (whole.kind == _quarn_GamepadSource::AXIS && whole.half != 0) {
            // One half of an input axis stretched over a whole stick axis.
            value = read(whole, joystick) * 2.0f - 1.0f;
        } else {
            value = read(whole, joystick);
        }
        value += read_unsigned(mapping.positive[i], joystick) - read_unsigned(mapping.negative[i], joystick);
        state->axes[i] = trigger ? clamp(value, 0.0f, 1.0f) : clamp(value, -1.0f, 1.0f);
    }
}

}  // namespace Input
}  // namespace Quarn

#include "quarn/input/state.h"

namespace Quarn {
namespace Input {

State::State()
    : mouse_buttons{false, false, false},
      mouse_position_last{-1, -1},
      mouse_position{0, 0},
      mouse_relative{0, 0},
      mouse_wheel_relative{0, 0} {}

bool State::key_pressed(int key) const {
    const auto entry = _quarn_keys.find(key);
    return entry != _quarn_keys.end() && entry->second;
}

}  // namespace Input
}  // namespace Quarn

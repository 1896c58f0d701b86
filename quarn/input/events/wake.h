#pragma once

namespace Quarn {
namespace Input {
namespace Events {

/// Makes the descriptor post_wake() writes to (Quarn::init). A failure
/// leaves post_wake() doing nothing.
void _quarn_wake_init();

/// Closes it (Quarn::deinit).
void _quarn_wake_deinit();

/// The descriptor wait() polls beside the connection: readable while a
/// wake-up is posted and not yet used up; -1 when there is none.
int _quarn_wake_descriptor();

/// Uses up the wake-ups posted so far (handle()): one load of a flag when
/// none was posted, one read() when one was.
void _quarn_wake_drain();

}  // namespace Events
}  // namespace Input
}  // namespace Quarn

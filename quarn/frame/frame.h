#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bitset>
#include <string>

#include "quarn/flags.h"

namespace Quarn {
namespace Input {
class State;
namespace Events {
class EventBase;
class EventKeyBase;
class EventKeyDown;
class EventKeyUp;
class EventMouseBase;
class EventMouseButtonBase;
class EventMouseButtonLeftBase;
class EventMouseButtonLeftDown;
class EventMouseButtonLeftUp;
class EventMouseButtonMiddleBase;
class EventMouseButtonMiddleDown;
class EventMouseButtonMiddleUp;
class EventMouseButtonRightBase;
class EventMouseButtonRightDown;
class EventMouseButtonRightUp;
class EventMouseScroll;
class EventMouseMove;
class EventFrameBase;
class EventFrameMenuItem;
class EventFrameClose;
class EventFrameMinimize;
class EventFrameMaximize;
class EventFrameResize;
class EventText;
class EventFrameFocus;
class EventMouseEnter;
class EventMouseLeave;
class EventFrameRefresh;
class EventMouseButtonExtraBase;
class EventMouseButtonExtraDown;
class EventMouseButtonExtraUp;
class EventFrameMonitors;
class EventFrameMove;
class EventGamepadConnection;
class EventFrameDrop;
}  // namespace Events
}  // namespace Input

namespace Frame {

class FrameBase;

/// Pointer shapes for FrameBase::set_cursor.
enum class Cursor {
    ARROW,
    TEXT,
    HAND,
    CROSSHAIR,
    RESIZE_HORIZONTAL,
    RESIZE_VERTICAL,
    MOVE,
    HIDDEN,
    RESIZE_NWSE,  ///< Diagonal resize, top-left to bottom-right.
    RESIZE_NESW,  ///< Diagonal resize, top-right to bottom-left.
    NOT_ALLOWED,
    WAIT,
};

/// What a report last told the application of something that is either so
/// or not: nothing yet, no, or yes.
enum class _quarn_Told : unsigned char { NOTHING, NO, YES };

/// The X window behind a frame (or the context's hidden host window): an
/// unmapped window with a double-buffered GLX visual (24-bit depth, 8-bit
/// stencil) and a colormap of its own, titled "[default title]", selecting
/// key, button, motion and exposure events, focus changes, crossings and the
/// keymap state, with the WM_DELETE_WINDOW close protocol. The style and button flags only produce warnings on Linux.
class _quarn_FrameBacking {
public:
    /// Warns about contradictory flags, then creates the window at `position`
    /// (x, y) with `dimensions` (width, height), as a child of `parent`'s
    /// window or of the root window. Throws (through the error routine) when no
    /// display is open or no visual matches; nothing is left behind then.
    _quarn_FrameBacking(const Flags::Style& style, const Flags::Button& buttons, const FrameBase* parent,
                        const int* position, const int* dimensions);
    /// Destroys the window, then frees the colormap and the visual record.
    ~_quarn_FrameBacking();
    _quarn_FrameBacking(const _quarn_FrameBacking&) = delete;
    _quarn_FrameBacking& operator=(const _quarn_FrameBacking&) = delete;

    Window window;             ///< The X window; the frame registry's key.
    XVisualInfo* visual_info;  ///< The GLX visual of the window (owned, freed with XFree).
    Colormap color_map;        ///< The window's colormap (owned).

    /// What every frame's window selects.
    static constexpr long event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                       PointerMotionMask | ExposureMask | FocusChangeMask | KeymapStateMask |
                                       EnterWindowMask | LeaveWindowMask;
    /// @name What the frame reports beyond that (FrameBase::set_report)
    //@{
    Flags::Report report;  ///< The reports asked for; NONE at first.
    int reported_size[2];  ///< The window's size as the server last reported it (RESIZE).
    bool iconic;           ///< Whether WM_STATE last said IconicState (RESIZE).
    bool maximized;        ///< Whether _NET_WM_STATE last held both maximized states (RESIZE).
    XIC input_context;     ///< The window's input context (TEXT), or null (owned).
    //@}
    /// @name What the reports FOCUS, CROSSING and BUTTONS keep
    //@{
    _quarn_Told focused;             ///< What FOCUS last told of the keyboard's focus.
    bool focus_by_pointer;           ///< The focus is the frame's only while the pointer is in it.
    _quarn_Told pointer_inside;      ///< What CROSSING last told of the pointer.
    std::bitset<256> extra_buttons;  ///< X buttons 8 and up whose press was delivered, not yet released.
    //@}
    /// @name Fullscreen (FrameBase::set_fullscreen)
    //@{
    bool covering;  ///< Whether the library covers the screen with the window itself.
    /// Its x, y, width and height before it did, or before it opened
    /// fullscreen (`opened_fullscreen`).
    int windowed[4];
    bool fullscreen_waiting;  ///< A request waits for the manager to manage the window.
    bool fullscreen_wanted;   ///< What set_fullscreen last asked for (false at first); a waiting request asks it.
    /// The manager took the window fullscreen and never saw it windowed: on
    /// the way back the library asks for `windowed` itself.
    bool opened_fullscreen;
    /// The Xinerama index of the monitor a waiting request names in
    /// _NET_WM_FULLSCREEN_MONITORS, or -1.
    int fullscreen_monitors;
    //@}
    /// Whether the connection it was made on is closed (Quarn::deinit): the
    /// server freed the window with it, and a later connection may hand out
    /// the same ids, so the destructor makes no X call.
    bool orphaned;
    ::Cursor cursor;        ///< The cursor set_cursor last gave it (a shape's is shared); None at first.
    ::Cursor image_cursor;  ///< The cursor made from set_cursor's image (owned), or None.
    /// @name What the report MOVE keeps
    //@{
    bool inside_frame;         ///< The window is inside another frame's window, not a top-level one.
    bool reparented;           ///< A window manager's frame holds the window (its parent is not the root).
    int reported_position[2];  ///< The content's place as last delivered (MOVE).
    //@}
    /// @name The window controls (FrameBase::set_size_limits and the rest)
    //@{
    int size_limits[4];  ///< Minimum and maximum width and height asked for; -1 for none.
    int aspect[2];       ///< The aspect ratio asked for; 0 and 0 for none.
    bool resizable;      ///< What set_resizable last asked for (true at first).
    bool decorated;      ///< What set_decorated last asked for (true at first).
    bool floating;       ///< What set_floating last asked for (false at first).
    bool urgent;         ///< request_attention set the urgency hint; the next focus takes it back.
    //@}
};

/// Base class of the application's windows. Override the callback_input
/// overloads for the events of interest and callback_draw for drawing; every
/// default does nothing. Frames start hidden at (0, 0) with 118 x 33 pixels.
/// Destroy child frames before their parents, and every frame before
/// Quarn::deinit().
class FrameBase {
public:
    /// Destroys the window and the input state. Events of this window that are
    /// still queued are dropped from then on.
    virtual ~FrameBase();
    FrameBase(const FrameBase&) = delete;
    FrameBase& operator=(const FrameBase&) = delete;

    /// @name Input callbacks
    /// One event calls, root first, the overload of every class on its chain:
    /// a left press calls EventBase, EventMouseBase, EventMouseButtonBase,
    /// EventMouseButtonLeftBase, EventMouseButtonLeftDown. `state` is this
    /// frame's input state, already updated for the event. Each does nothing
    /// unless overridden. Do not destroy the frame inside them.
    //@{
    virtual void callback_input(const Input::State* state, const Input::Events::EventBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventKeyBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventKeyDown* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventKeyUp* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonLeftBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonLeftDown* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonLeftUp* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonMiddleBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonMiddleDown* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonMiddleUp* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonRightBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonRightDown* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonRightUp* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseScroll* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseMove* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameMenuItem* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameClose* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameMinimize* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameMaximize* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameResize* event);
    //@}

    /// Draws the frame's content; called only by draw(), with the context bound.
    virtual void callback_draw();
    /// One typed character (EventBase, then this). Only frames that report
    /// Flags::Report::TEXT get it; does nothing unless overridden.
    virtual void callback_input(const Input::State* state, const Input::Events::EventText* event);
    /// @name Callbacks of the reports FOCUS, CROSSING, REFRESH and BUTTONS
    /// Each does nothing unless overridden, and only frames that report the
    /// matching bit get their events (set_report).
    //@{
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameFocus* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseEnter* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseLeave* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameRefresh* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonExtraBase* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonExtraDown* event);
    virtual void callback_input(const Input::State* state, const Input::Events::EventMouseButtonExtraUp* event);
    //@}
    /// The display's monitors changed (report MONITORS); does nothing unless overridden.
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameMonitors* event);
    /// The window moved (Flags::Report::MOVE); does nothing unless overridden.
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameMove* event);
    /// A joystick or gamepad came or went (report GAMEPAD); does nothing unless overridden.
    virtual void callback_input(const Input::State* state, const Input::Events::EventGamepadConnection* event);
    /// Files or text dropped on the frame (EventBase, EventFrameBase, then
    /// this). Only frames that report Flags::Report::DROP get it; does
    /// nothing unless overridden.
    virtual void callback_input(const Input::State* state, const Input::Events::EventFrameDrop* event);

    /// Stores and applies a new size. Widths and heights outside 1 to 65535
    /// are refused with a warning and change nothing.
    void set_size(int size_x, int size_y);
    /// set_size with size[0] and size[1]; a null pointer is refused with a warning.
    void set_size(const int* size);

    /// Stores and applies a new position relative to the X parent.
    /// Coordinates outside -32768 to 32767 are refused with a warning.
    void set_position(int to_x, int to_y);
    /// set_position with to_xy[0] and to_xy[1]; a null pointer is refused with a warning.
    void set_position(const int* to_xy);

    /// @name Title
    /// Sets the window title from UTF-8 (up to the first NUL byte): as UTF-8
    /// (which EWMH window managers show as written) _NET_WM_NAME and
    /// _NET_WM_ICON_NAME; for managers that read only WM_NAME and
    /// WM_ICON_NAME, those as STRING in Latin-1 where every character fits
    /// (an ASCII title as its bytes), else as COMPOUND_TEXT. The wide
    /// overload only warns: "Wide string not yet supported for window titles
    /// on Linux!".
    //@{
    void set_title(const std::string& title);
    void set_title(const std::wstring& title);
    //@}

    /// Names the application the window belongs to for task bars and docks
    /// (WM_CLASS). Every frame starts with the program's name as the instance
    /// (RESOURCE_NAME from the environment first) and the same with a capital
    /// first letter as the class, beside _NET_WM_PID and WM_CLIENT_MACHINE.
    void set_class(const std::string& instance, const std::string& class_name);
    /// Sets the frame's icon from `width` x `height` RGBA pixels, row by row
    /// (_NET_WM_ICON). A null pointer or a size below 1 is refused with a warning.
    /// An icon larger than the server takes in one request (2048 x 2048 on
    /// most) is halved, each pixel the average of four, until it fits.
    void set_icon(int width, int height, const unsigned char* rgba);
    /// Makes the frame cover its monitor without decorations, or gives back
    /// the size and position it had. Asks a window manager that speaks EWMH
    /// (_NET_WM_STATE_FULLSCREEN, with _NET_WM_BYPASS_COMPOSITOR), which picks
    /// the monitor; under any other manager, or none, covers the monitor that
    /// holds the frame's centre itself (the nearest where none does). Asking for the state
    /// the window is in (its _NET_WM_STATE now, as the user may have changed
    /// it through the manager) and last asked for changes nothing; so a
    /// request the manager has not acted on yet is not lost: on and at once
    /// off ends windowed. Asked while the frame is hidden, or before a manager
    /// manages it, the frame opens in the state asked for; leaving that
    /// fullscreen gives back the size and position the frame had asked for.
    /// A frame that reports RESIZE gets the size changes as EventFrameResize.
    void set_fullscreen(bool fullscreen);
    /// Fullscreen on the monitor of index `monitor` in Quarn::get_monitors()
    /// (on), or back as set_fullscreen(false) (off). A manager that lists
    /// _NET_WM_FULLSCREEN_MONITORS is told the monitor with the request; under
    /// any other EWMH manager the frame is moved onto the monitor first (its
    /// centre on the monitor's, as set_position does; leaving fullscreen finds
    /// it there); with none the frame covers that monitor's rectangle itself.
    /// An index out of range is refused with a warning. Asked while the frame
    /// is fullscreen on another monitor, it moves there. Costs the round trips
    /// of get_monitors() and those of set_fullscreen.
    void set_fullscreen(bool fullscreen, int monitor);
    /// The pointer's shape over the frame, from the user's cursor theme
    /// (falling back to X's core cursors); HIDDEN shows none. Each shape is
    /// made once, on first use, and freed at Quarn::deinit(). A value
    /// outside the enumeration is refused with a warning.
    void set_cursor(Cursor cursor);
    /// The pointer over the frame shows `width` x `height` RGBA pixels, row
    /// by row, with alpha (straight, not premultiplied), its hot spot (the
    /// point that clicks) at (`hot_x`, `hot_y`) in the image. A null pointer,
    /// a size below 1 or a hot spot outside the image is refused with a
    /// warning, and so is an image the server cannot make a cursor of. The
    /// frame owns the cursor: the next set_cursor frees it, and so do the
    /// frame's destruction and Quarn::deinit(). Costs one upload of the image
    /// (no round trip); call it again only when the image changes.
    void set_cursor(int width, int height, const unsigned char* rgba, int hot_x, int hot_y);
    /// Locks the pointer to the frame (true), as 3-D views and games want, or
    /// gives it back (false). While locked the pointer is hidden and held
    /// inside the frame, and EventMouseMove (and the state's mouse_relative)
    /// carries every movement of the mouse, unaccelerated and never stopped
    /// by the screen's edge, from XInput2's raw motion; its x and y (and
    /// mouse_position) are a virtual position that keeps adding them up.
    /// Where the server has no XInput2, the pointer is put back in the
    /// frame's centre after each move instead. One frame holds the lock at a
    /// time: locking another gives it back first. The pointer is held only
    /// while the frame has the keyboard focus, so the lock lasts while the
    /// frame loses and regains it (the pointer is free meanwhile), and while
    /// it is hidden; a grab another client's refuses (a window manager's, at
    /// the click that focuses the frame) is tried again at the frame's next
    /// pointer event, by handle() every tenth of a second, and by calling
    /// this again. Quarn::deinit() ends the lock. Giving it back shows the pointer where it was when locked,
    /// with no jump reported (given back while another window has the focus,
    /// the pointer stays where the user has it). Locking and confining
    /// (set_pointer_confined) exclude each other: the later call wins, and
    /// giving back what the frame does not hold changes nothing. Costs a few
    /// round trips per call.
    void set_pointer_locked(bool locked);
    /// Confines the pointer to the frame (true), as a game with its own
    /// cursor or a drawing program's drag wants, or lets it go (false).
    /// Unlike the lock, the pointer stays visible with the frame's cursor
    /// and moves as usual: EventMouseMove reports its positions, stopped at
    /// the frame's edges, with no raw motion and no virtual position. Held,
    /// retried and given up as the lock is: only while the frame has the
    /// keyboard focus (taken again when the focus comes back, and after
    /// another client's grab ends), one frame at a time (confining another
    /// gives it up), until set_pointer_confined(false), the frame's
    /// destruction or Quarn::deinit(). Letting go leaves the pointer where it
    /// is. Locking and confining exclude each other: the later call wins.
    /// Costs a few round trips per call.
    void set_pointer_confined(bool confined);
    /// Moves the pointer to (`x`, `y`) in the frame's pixels (a point outside
    /// the frame is allowed: the pointer goes there). The move then arrives
    /// as the server reports it, as EventMouseMove where the point is inside
    /// the frame. Coordinates outside -32768 to 32767 are refused with a
    /// warning. A confined pointer stops at the frame's edge. While the frame
    /// holds the pointer locked (hidden), the call sets where giving the lock
    /// back shows it instead. Costs no round trip.
    void set_mouse_position(int x, int y);
    /// Writes where the pointer is now, in the frame's pixels (negative or
    /// beyond the frame's size when outside it), to xy[0] and xy[1], and
    /// returns true. Returns false and writes nothing when the pointer is on
    /// another screen of the display, and, with a warning, for a null
    /// pointer. Unlike the state's mouse_position (the last move delivered)
    /// it asks the server: one round trip. While locked, the pointer is
    /// hidden and held inside the frame: the virtual position is the state's.
    bool get_mouse_position(int* xy) const;
    /// Maps (`show` true) or unmaps the window. Asking for the current state
    /// only warns; a non-zero `blend_ms` warns that Linux has no fading.
    void set_show(bool show, int blend_ms);

    /// What the frame reports from now on, beyond the events every frame
    /// gets; replaces the earlier set. NONE at first, and a frame that reports
    /// NONE selects and delivers exactly what it did before any report.
    /// - WHEEL: each notch of the wheel as EventMouseScroll (buttons 4 and 5
    ///   vertical, +1 up; 6 and 7 horizontal, +1 right).
    /// - RESIZE: EventFrameResize when the window's size changes (whoever
    ///   changed it), EventFrameMinimize and EventFrameMaximize when the
    ///   window manager iconifies or maximizes it, and `dimensions` kept to
    ///   the window's size; the "ConfigureNotify!" trace is no longer printed
    ///   for it. Costs one event per move of the window and one property read
    ///   per change of its WM_STATE or _NET_WM_STATE.
    /// - TEXT: EventText for each character typed, through the X input method
    ///   (dead keys, Compose, IBus or fcitx) where there is one.
    /// - FOCUS: EventFrameFocus when the keyboard focus comes to the frame (or
    ///   a window inside it) or leaves it, once per change, after the
    ///   releases of the keys it held; nothing for another client's keyboard
    ///   grab (a manager's Alt+Tab). Where the keys follow the pointer (no
    ///   window manager: the focus is PointerRoot) the pointer brings the
    ///   focus and takes it away. Turning it on asks the server once where
    ///   the focus is (one round trip).
    /// - CROSSING: EventMouseEnter and EventMouseLeave, with the pointer's
    ///   position, when the pointer comes over the frame's window or leaves it
    ///   (another window put over it, the window hidden); windows inside the
    ///   frame count as the frame, and another client's grab that takes the
    ///   pointer where it stands (a manager's click) tells nothing.
    /// - REFRESH: EventFrameRefresh once per series of exposures: after the
    ///   window is shown, uncovered or resized.
    /// - BUTTONS: X buttons 8 and up (8 back, 9 forward) as
    ///   EventMouseButtonExtraDown and EventMouseButtonExtraUp; each press
    ///   delivered gets one release, also when the window is hidden meanwhile.
    /// - MONITORS: EventFrameMonitors when the display's monitors are added,
    ///   removed, switched off or on, or change mode (RandR's notifications
    ///   of the root window, selected while any frame reports it); ask
    ///   Quarn::get_monitors() for the new set then.
    /// - MOVE: EventFrameMove when the window moves on the screen (whoever
    ///   moved it: the program, the user through the manager, another
    ///   client), with its content's top-left on the root window, and
    ///   `position` kept to it. Costs one event per change of the window's
    ///   size or place; under a manager that puts the window in a frame of
    ///   its own, a round trip for each such event the server (not the
    ///   manager) sends, which is each resize. Turning it on asks the server
    ///   where the window is (two round trips).
    /// - GAMEPAD: EventGamepadConnection when a joystick or gamepad comes or
    ///   goes, once the application uses them (Input::get_joysticks); selects
    ///   no X event.
    /// - DROP: the window becomes a drop target for files and text (XDND
    ///   version 5: the XdndAware property), and each drop arrives as
    ///   EventFrameDrop. A frame without it declines every drop. Costs nothing
    ///   per event; a drag over the window costs a round trip or two per
    ///   position the source sends, the drop itself a few.
    /// FOCUS, CROSSING, REFRESH and BUTTONS cost nothing per event: every frame selects their events.
    void set_report(const Flags::Report& report);

    /// @name Steering the window
    /// Each writes what ICCCM, EWMH or the Motif hints define for it; a
    /// window manager that honours that hint applies it, one that does not
    /// ignores it (docs/compatibility.md says which does what). Each holds
    /// across hides and shows, and may be called while the frame is hidden:
    /// it then takes effect as the frame is shown. None costs a round trip
    /// unless it says so; bad input is refused (or clamped) with a warning.
    //@{
    /// The smallest and largest size the user may give the window (its
    /// content, decorations left out); -1 for no limit on that side.
    /// Negative values other than -1, sizes beyond 65535 and a minimum above
    /// its maximum are refused. Writes WM_NORMAL_HINTS, keeping the position
    /// and size hints there. One round trip.
    void set_size_limits(int min_width, int min_height, int max_width, int max_height);
    /// Keeps the window's width to height at `numerator`:`denominator` as the
    /// user resizes it; 0 and 0 for no ratio. Anything else not above 0 is
    /// refused. Writes WM_NORMAL_HINTS. One round trip.
    void set_aspect_ratio(int numerator, int denominator);
    /// Whether the user may resize the window (true at first). While false
    /// the size limits are the window's current size (a hidden frame's: the
    /// last set_size; set_size moves them along) and the manager offers no resize (Motif hints); true gives back
    /// the limits set_size_limits asked for. Two round trips.
    void set_resizable(bool resizable);
    /// Whether the manager draws its title bar and border around the window
    /// (true at first; _MOTIF_WM_HINTS).
    void set_decorated(bool decorated);
    /// Keeps the window above other windows (true) or not
    /// (_NET_WM_STATE_ABOVE). A few round trips.
    void set_floating(bool floating);
    /// How opaque the window is, from 0 (invisible) to 1 (opaque, at first),
    /// as a compositing manager draws it (_NET_WM_WINDOW_OPACITY); without a
    /// compositor nothing changes. Values outside 0 to 1 are clamped to it,
    /// not a number is refused, each with a warning.
    void set_opacity(float opacity);
    /// Asks the manager to iconify the window (ICCCM WM_CHANGE_STATE); a
    /// hidden frame opens iconified. Without a manager nothing happens.
    void minimize();
    /// Asks the manager to maximize the window (both _NET_WM_STATE maximized
    /// states); a hidden frame opens maximized. A few round trips.
    void maximize();
    /// Brings the window back from iconified (a map, and an EWMH manager
    /// asked to activate it, which also gives it the focus) or maximized; a
    /// hidden frame opens as neither. A few round trips.
    void restore();
    /// Gives the window the keyboard focus and raises it: asks an EWMH
    /// manager (_NET_ACTIVE_WINDOW), which may refuse to take it from the
    /// user; without one sets the focus itself. Does nothing while the frame
    /// is hidden. A few round trips.
    void focus();
    /// Flags the window as wanting the user's attention
    /// (_NET_WM_STATE_DEMANDS_ATTENTION and the ICCCM urgency hint); the
    /// manager usually marks it in its task bar until the user turns to it.
    /// The library takes the urgency hint back when the window next gets the
    /// keyboard focus. Two round trips.
    void request_attention();
    /// Lets pointer input through the window (true) to whatever is below it
    /// (an empty input shape, X Shape extension), or takes it again (false).
    /// The keyboard is not affected. Refused with a warning where the server
    /// has no Shape extension.
    void set_mouse_passthrough(bool passthrough);
    /// Writes the widths of the manager's decorations to
    /// left_right_top_bottom[0] to [3] (_NET_FRAME_EXTENTS), zeros where the
    /// manager publishes none or the window is not managed. One round trip;
    /// a null pointer is refused with a warning.
    void get_frame_extents(int* left_right_top_bottom) const;
    /// Writes where the frame's content is now on the root window to xy[0]
    /// and xy[1], asked from the server (one round trip): unlike `position`,
    /// it counts the manager's moves. A null pointer is refused with a warning.
    void get_position(int* xy) const;
    //@}

    /// Calls callback_draw(), swaps the window's buffers and waits with
    /// glFinish(). Bind the context to this frame first (Context::set_target);
    /// with no context current it only warns.
    void draw();
    /// draw() when `wait` is true; false swaps without glFinish, letting the
    /// GPU run ahead (with vsync, two frames drawn with glFinish each wait
    /// for two vertical blanks per loop, with false for one).
    void draw(bool wait);

    int dimensions[2];  ///< Width and height last asked for (118 x 33 at first).
    /// Position last asked for, relative to the X parent; for a frame that
    /// reports MOVE, where the window last moved to.
    int position[2];
    bool visible;                         ///< Whether set_show last showed the window.
    Input::State* input_state;            ///< This frame's input state (owned).
    bool has_menubar;                     ///< Whether a Menubar for this frame exists.
    _quarn_FrameBacking* _quarn_backing;  ///< The X window behind the frame (owned).

protected:
    /// Creates the hidden window, as a child of `parent`'s window when given,
    /// and enters the frame in the registry. Needs Quarn::init() with a display.
    FrameBase(FrameBase* parent, const Flags::Style& style, const Flags::Button& buttons);
};

}  // namespace Frame
}  // namespace Quarn

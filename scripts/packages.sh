# The Debian packages Quarn builds, tests and demonstrates with. The test kit
# (Quarn::testing, built by default) needs XTest and libpng, and Xvfb to run.
# The joysticks need only the kernel's headers (linux-libc-dev): no library.
build_packages=(cmake make g++ pkg-config libx11-dev libgl-dev libglu1-mesa-dev libglew-dev libgl1-mesa-dri libglx-mesa0
  libegl-dev libegl-mesa0
  libxtst-dev libpng-dev xvfb libxkbcommon-dev libxkbcommon-x11-dev libx11-xcb-dev libxcursor-dev libxi-dev
  libxrandr-dev libxinerama-dev libxext-dev linux-libc-dev)
# Dear ImGui (libimgui-dev) so that Quarn::imgui, its example and their tests
# are always built and run here.
test_packages=(libgtest-dev xauth x11-utils x11-xkb-utils openbox imagemagick xdotool dbus ibus libimgui-dev
  xserver-xorg-core xserver-xorg-video-dummy)
fuzz_packages=(clang libclang-rt-14-dev)
bench_packages=(libglfw3-dev libsdl2-dev gnuplot-nox valgrind python3)
lint_packages=(clang-format clang-tidy doxygen graphviz)
compat_packages=(python3 python3-xlib coreutils xclip openbox dbus xfwm4 metacity mutter i3-wm fluxbox icewm twm
  xserver-xephyr xserver-xorg-core xserver-xorg-video-dummy weston xwayland xcompmgr)

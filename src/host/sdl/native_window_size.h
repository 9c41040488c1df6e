// The size a window really has on the screen. SDL records the size it asked for: a full screen
// that no window manager granted reads as the display's size while the window kept its own.
#pragma once

struct SDL_Window;

namespace bw::host {

// False where it cannot be asked (a platform other than X11, or no Xlib to ask with).
[[nodiscard]] bool NativeWindowSize(SDL_Window* window, int* width, int* height);

}  // namespace bw::host

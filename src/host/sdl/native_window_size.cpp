#include "host/sdl/native_window_size.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace bw::host {

namespace {

using GetWindowAttributes = Status (*)(Display*, ::Window, XWindowAttributes*);

// Xlib is already loaded by SDL's X11 driver; it is asked for by name, not linked.
GetWindowAttributes XlibGetWindowAttributes() {
  static const GetWindowAttributes function = [] {
    void* xlib = SDL_LoadObject("libX11.so.6");
    return xlib ? reinterpret_cast<GetWindowAttributes>(
                      SDL_LoadFunction(xlib, "XGetWindowAttributes"))
                : nullptr;
  }();
  return function;
}

}  // namespace

bool NativeWindowSize(SDL_Window* window, int* width, int* height) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  GetWindowAttributes getAttributes = XlibGetWindowAttributes();
  XWindowAttributes attributes;
  if (!getAttributes || !getAttributes(info.info.x11.display, info.info.x11.window, &attributes))
    return false;
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

}  // namespace bw::host

// Starts a program and watches the X display from outside, as a user would: when its window of
// one title is first on screen with its content painted, which widths the progress bar in that
// window shows, and when its message box of another title is first on screen. Then reads the
// program's peak memory and stops it.
//
//   xwatch --window TITLE --box TITLE -- PROGRAM [ARG...]
//
// Polls every 2 ms; prints "painted_ms T" and "shown_ms T" (milliseconds since the start),
// "bar_widths N" and "hwm_kib N" (VmHWM of the started process, e.g. wine running an exe, read
// when the box is on screen). Exits 1 when the program ended first, or after 120 s.
// "Painted" means: viewable, the area below the title bar mostly in a light background colour,
// and at least 20 dark pixels (text, frame) on it. Every poll that finds the window viewable
// also measures its bar: the most pixels of the bar's colour, RGB(0, 0, 192), in one row; N is
// how many different widths (other than none) the polls saw.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::optional<std::string> Title(Display* display, Window window) {
  static const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
  static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::string title(reinterpret_cast<char*>(data), count);
  XFree(data);
  return title;
}

// The viewable top-level window with this title, if there is one.
Window Find(Display* display, const std::string& title, XWindowAttributes& attributes) {
  Window root_return, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count))
    return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    if (Title(display, children[i]) != title) continue;
    if (XGetWindowAttributes(display, children[i], &attributes) &&
        attributes.map_state == IsViewable) {
      found = children[i];
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

struct Look {
  bool painted = false;
  int bar_width = 0;
};

// What the window's content below the title bar shows.
Look Read(Display* display, Window window, const XWindowAttributes& attributes) {
  constexpr int kBorder = 6, kTitleBar = 28;
  const int width = attributes.width - 2 * kBorder,
            height = attributes.height - kTitleBar - kBorder;
  if (width <= 0 || height <= 0) return {};
  XImage* image = XGetImage(display, window, kBorder, kTitleBar, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  Look look;
  long light = 0, dark = 0;
  for (int y = 0; y < height; ++y) {
    int bar = 0;
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      if (r >= 0xB0 && g >= 0xB0 && b >= 0xB0) ++light;
      if (r <= 0x50 && g <= 0x50 && b <= 0x50) ++dark;
      if (r == 0 && g == 0 && b == 192) ++bar;
    }
    if (bar > look.bar_width) look.bar_width = bar;
  }
  XDestroyImage(image);
  look.painted = light * 2 >= static_cast<long>(width) * height && dark >= 20;
  return look;
}

long PeakResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // a window may go while we look

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7 || std::strcmp(argv[1], "--window") || std::strcmp(argv[3], "--box") ||
      std::strcmp(argv[5], "--")) {
    std::fprintf(stderr, "usage: xwatch --window TITLE --box TITLE -- PROGRAM [ARG...]\n");
    return 2;
  }
  const std::string window_title = argv[2], box_title = argv[4];
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "xwatch: no display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreErrors);

  const Clock::time_point started = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[6], argv + 6);
    std::perror("xwatch: exec");
    _exit(127);
  }
  auto since = [&] {
    return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  };

  std::optional<double> painted_ms, shown_ms;
  std::set<int> bar_widths;
  long hwm = -1;
  bool exited = false;
  int status = 0;
  while (since() < 120'000) {
    XWindowAttributes attributes;
    const Window window = Find(display, window_title, attributes);
    if (window != 0) {
      const Look look = Read(display, window, attributes);
      if (look.painted && !painted_ms) painted_ms = since();
      if (look.bar_width > 0) bar_widths.insert(look.bar_width);
    }
    if (Find(display, box_title, attributes) != 0) {
      shown_ms = since();
      hwm = PeakResidentKib(child);
      break;
    }
    if (waitpid(child, &status, WNOHANG) == child) {
      exited = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!exited) {
    kill(child, SIGKILL);  // the program we started, and only it
    waitpid(child, nullptr, 0);
  }
  XCloseDisplay(display);

  if (painted_ms) std::printf("painted_ms %.1f\n", *painted_ms);
  if (shown_ms)
    std::printf("shown_ms %.1f\nbar_widths %zu\nhwm_kib %ld\n", *shown_ms, bar_widths.size(), hwm);
  const bool complete = painted_ms && shown_ms;
  if (!complete) {
    if (exited) {
      std::fprintf(stderr, "xwatch: the program ended first (wait status %d)\n", status);
    } else {
      std::fprintf(stderr, "xwatch: timed out, or the window was never painted\n");
    }
  }
  return complete ? 0 : 1;
}

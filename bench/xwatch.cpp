// Starts a program and watches the X display for its windows, from outside, as a user would:
// when a window of a given title is first on screen with its content painted, and when one is
// first on screen at all. Then reads the program's peak memory and stops it.
//
//   xwatch [--painted TITLE] [--shown TITLE] [--file PATH]... [--timeout SECONDS] -- PROGRAM
//   [ARG...]
//
// Prints "painted_ms T", "shown_ms T", "file_ms PATH T" (milliseconds since the start; the last
// for when PATH first exists) and "hwm_kib N" (VmHWM of the started process, e.g. wine running an
// exe), read once everything awaited has come. Exits 1 when something awaited did not come in time.
// "Painted" means: viewable, the area below the title bar mostly in a light background colour, and
// at least 20 dark pixels (text, frame) on it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
                         &after, &data) == Success &&
      data != nullptr) {
    std::string title(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    std::string title(name);
    XFree(name);
    return title;
  }
  return std::nullopt;
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

bool Painted(Display* display, Window window, const XWindowAttributes& attributes) {
  constexpr int kBorder = 6, kTitleBar = 28;
  const int width = attributes.width - 2 * kBorder,
            height = attributes.height - kTitleBar - kBorder;
  if (width <= 0 || height <= 0) return false;
  XImage* image = XGetImage(display, window, kBorder, kTitleBar, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  long light = 0, dark = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const unsigned r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      if (r >= 0xB0 && g >= 0xB0 && b >= 0xB0) ++light;
      if (r <= 0x50 && g <= 0x50 && b <= 0x50) ++dark;
    }
  }
  XDestroyImage(image);
  return light * 2 >= static_cast<long>(width) * height && dark >= 20;
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
  std::string painted_title, shown_title;
  std::vector<std::pair<std::string, std::optional<double>>> files;  // path, when it came
  double timeout_s = 120;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
    if (i + 1 >= argc) return 2;
    if (!std::strcmp(argv[i], "--painted"))
      painted_title = argv[i + 1];
    else if (!std::strcmp(argv[i], "--shown"))
      shown_title = argv[i + 1];
    else if (!std::strcmp(argv[i], "--file"))
      files.emplace_back(argv[i + 1], std::nullopt);
    else if (!std::strcmp(argv[i], "--timeout"))
      timeout_s = std::stod(argv[i + 1]);
    else
      return 2;
  }
  if (i + 1 >= argc) {
    std::fprintf(
        stderr,
        "usage: xwatch [--painted TITLE] [--shown TITLE] [--file PATH]... [--timeout S] -- "
        "PROGRAM [ARG...]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "xwatch: no display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreErrors);

  const Clock::time_point started = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[i + 1], argv + i + 1);
    std::perror("xwatch: exec");
    _exit(127);
  }
  auto since = [&] {
    return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  };

  std::optional<double> painted_ms, shown_ms;
  const bool want_painted = !painted_title.empty(), want_shown = !shown_title.empty();
  auto all_seen = [&] {
    for (const auto& [path, ms] : files) {
      if (!ms) return false;
    }
    return (!want_painted || painted_ms) && (!want_shown || shown_ms);
  };
  long hwm = -1;
  bool exited = false;
  while (since() < timeout_s * 1000) {
    XWindowAttributes attributes;
    if (want_painted && !painted_ms) {
      const Window window = Find(display, painted_title, attributes);
      if (window != 0 && Painted(display, window, attributes)) painted_ms = since();
    }
    if (want_shown && !shown_ms && Find(display, shown_title, attributes) != 0) shown_ms = since();
    for (auto& [path, ms] : files) {
      struct stat st;
      if (!ms && stat(path.c_str(), &st) == 0) ms = since();
    }
    if (all_seen()) {
      hwm = PeakResidentKib(child);
      break;
    }
    int status;
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
  if (shown_ms) std::printf("shown_ms %.1f\n", *shown_ms);
  for (const auto& [path, ms] : files) {
    if (ms) std::printf("file_ms %s %.1f\n", path.c_str(), *ms);
  }
  if (hwm >= 0) std::printf("hwm_kib %ld\n", hwm);
  const bool complete = all_seen();
  if (!complete)
    std::fprintf(stderr, "xwatch: %s\n", exited ? "the program ended first" : "timed out");
  return complete ? 0 : 1;
}

// One copy pass through the engine on a real file system, for tools/bench.sh.
//
//   bench_pass --disc DIR --install-root DIR
//
// A lean platform: C: is a fixed disk (the folder --install-root) holding the installation
// directory C:\GAME, D: a CD-ROM drive holding the disc (the folder --disc). A listing is one
// stat, a copy is copy_file_range in the kernel (as cp does here), made atomic as the Win32
// services make it: into a new file beside the destination, then renamed over it. Nothing is
// recorded: this platform must cost no more than a real one would.
//
// Prints "pass_us T hwm_kib N" (the pass's time and the process's peak memory), and fails
// unless the pass found the installation complete and ended.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/copy_engine.h"
#include "engine/displays.h"
#include "engine/resumption.h"
#include "platform/services.h"

using namespace kestovar;

namespace {

constexpr int kDeviceUnavailable = 52;
constexpr int kFileNotFound = 53;
constexpr int kPathAccess = 75;

[[noreturn]] void FailWithErrno() { throw Failure{errno == ENOENT ? kFileNotFound : kPathAccess}; }

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// Thrown by End(): the pass found nothing missing.
struct Ended {};

class DiskMachine : public Services {
 public:
  DiskMachine(std::string install_root, std::string disc)
      : install_root_(std::move(install_root)), disc_(std::move(disc)) {}

  Text CurrentDirectory() override { return u"C:\\GAME"; }

  Text Dir(const Text& path, int attributes) override {
    struct stat st;
    if (stat(Host(path).c_str(), &st) != 0) return Text();
    if (!S_ISREG(st.st_mode) && !(attributes == kWithFolders && S_ISDIR(st.st_mode))) {
      return Text();
    }
    return path.substr(path.find_last_of(u'\\') + 1);
  }

  void FileCopy(const Text& source, const Text& destination) override {
    const std::string to = Host(destination), temporary = to + ".kestovar-tmp";
    {
      Fd in{open(Host(source).c_str(), O_RDONLY | O_CLOEXEC)};
      if (in.fd < 0) FailWithErrno();
      Fd out{open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
      if (out.fd < 0) FailWithErrno();
      for (;;) {
        const ssize_t copied = copy_file_range(in.fd, nullptr, out.fd, nullptr, 1 << 30, 0);
        if (copied == 0) break;
        if (copied < 0) {
          unlink(temporary.c_str());
          FailWithErrno();
        }
      }
    }
    if (rename(temporary.c_str(), to.c_str()) != 0) FailWithErrno();
  }

  void MakeDirectory(const Text& path) override {
    if (mkdir(Host(path).c_str(), 0755) != 0) FailWithErrno();
  }

  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override {
    constexpr char kList[] = "C:\\\0D:\\\0";  // two roots, then the closing empty string
    if (size < sizeof kList) return sizeof kList;
    std::memcpy(buffer, kList, sizeof kList);
    return sizeof kList - 1;
  }

  std::uint32_t GetDriveTypeA(const char* root) override {
    if ((root[0] & ~0x20) == 'C') return 3;             // a fixed disk
    return (root[0] & ~0x20) == 'D' ? kDriveCdrom : 1;  // 1: no such root
  }

  int ShowMessage(const Text&, int, const std::optional<Text>&) override { return 1; }
  [[noreturn]] void End() override { throw Ended{}; }
  Text DecimalSeparator() override { return u"."; }

 private:
  // The host path a Windows path ("D:\DATA\X.TR2") stands for; fails with 52 on any drive but
  // C: and D:. The benchmark's paths are plain ASCII.
  std::string Host(const Text& windows_path) const {
    if (windows_path.size() < 2 || windows_path[1] != u':') throw Failure{kDeviceUnavailable};
    const char16_t letter = windows_path[0] & ~0x20;
    if (letter != u'C' && letter != u'D') throw Failure{kDeviceUnavailable};
    std::string host = letter == u'C' ? install_root_ : disc_;
    for (std::size_t i = 2; i < windows_path.size(); ++i) {
      host += windows_path[i] == u'\\' ? '/' : static_cast<char>(windows_path[i]);
    }
    return host;
  }

  std::string install_root_, disc_;
};

// The progress window and the list, doing nothing: the benchmark measures the engine and the
// file system, not a display.
class NoProgress : public ProgressDisplay {
 public:
  void Show() override {}
  void Repaint() override {}
  void SetPercentText(const Text&) override {}
  void SetBarWidth(float) override {}
};
class NoList : public MissingList {
 public:
  void SetText(const Text&) override {}
};

long PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], "--disc") || std::strcmp(argv[3], "--install-root")) {
    std::fprintf(stderr, "usage: bench_pass --disc DIR --install-root DIR\n");
    return 2;
  }
  DiskMachine machine(argv[4], argv[2]);
  NoProgress progress;
  NoList missing;
  CopyEngine engine(machine, progress, missing);

  bool ended = false;
  const auto started = std::chrono::steady_clock::now();
  try {
    engine.Masol();
  } catch (const Ended&) {
    ended = true;
  }
  const auto pass = std::chrono::steady_clock::now() - started;

  std::printf(
      "pass_us %lld hwm_kib %ld\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(pass).count()),
      PeakResidentKib());
  if (!ended) {
    std::fprintf(stderr, "bench_pass: the pass did not complete the installation\n");
    return 1;
  }
  return 0;
}

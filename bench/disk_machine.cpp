#include "bench/disk_machine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/resumption.h"

namespace kestovar::bench {
namespace {

constexpr int kDeviceUnavailable = 52;
constexpr int kFileNotFound = 53;
constexpr int kDeviceIo = 57;
constexpr int kDiskFull = 61;
constexpr int kPermissionDenied = 70;
constexpr int kPathAccess = 75;
constexpr int kPathNotFound = 76;

[[noreturn]] void FailWithErrno() {
  switch (errno) {
    case ENOENT:
      throw Failure{kFileNotFound};
    case ENOTDIR:
      throw Failure{kPathNotFound};
    case EIO:
      throw Failure{kDeviceIo};
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      throw Failure{kDiskFull};
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      throw Failure{kPermissionDenied};
    default:
      throw Failure{kPathAccess};
  }
}

// Writes c in UTF-8 at out; returns the end.
char* PutUtf8(char* out, char16_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Copies the whole of one open file into another inside the kernel, as cp does; falls back to
// read and write where the file systems cannot.
void CopyContents(int from, int to) {
  for (;;) {
    const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied == 0) return;
    if (copied > 0) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
      FailWithErrno();
    }
    break;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) return;
    if (got < 0) FailWithErrno();
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = write(to, buffer + written, got - written);
      if (put < 0) FailWithErrno();
      written += put;
    }
  }
}

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

DiskMachine::DiskMachine(std::vector<Drive> drives, Text current_directory, CopyMode mode)
    : drives_(std::move(drives)), current_directory_(std::move(current_directory)), mode_(mode) {
  for (const Drive& drive : drives_) by_letter_[drive.letter - 'A'] = &drive;
}

const DiskMachine::Drive* DiskMachine::Find(char16_t letter) const {
  letter &= ~0x20;  // upper case
  return letter >= u'A' && letter <= u'Z' ? by_letter_[letter - u'A'] : nullptr;
}

void DiskMachine::Host(const Text& windows_path, std::string& host) const {
  if (windows_path.size() < 2 || windows_path[1] != u':') throw Failure{kPathNotFound};
  const Drive* drive = Find(windows_path[0]);
  if (drive == nullptr || drive->root.empty()) throw Failure{kDeviceUnavailable};
  host.resize(drive->root.size() + 3 * (windows_path.size() - 2));  // room for UTF-8
  char* out = std::copy(drive->root.begin(), drive->root.end(), host.data());
  for (std::size_t i = 2; i < windows_path.size(); ++i) {
    const char16_t c = windows_path[i];
    out = c == u'\\' ? (*out = '/', out + 1) : PutUtf8(out, c);
  }
  host.resize(out - host.data());
}

Text DiskMachine::Dir(const Text& path, int attributes) {
  Host(path, probe_path_);
  struct stat st;
  if (stat(probe_path_.c_str(), &st) != 0) return Text();
  const bool matches = S_ISREG(st.st_mode) || (attributes == kWithFolders && S_ISDIR(st.st_mode));
  if (!matches) return Text();
  const std::size_t separator = path.find_last_of(u'\\');
  return path.substr(separator == Text::npos ? 0 : separator + 1);
}

void DiskMachine::FileCopy(const Text& source, const Text& destination) {
  Host(source, from_);
  Host(destination, to_);
  const std::string& from = from_;
  const std::string& to = to_;
  const auto started = std::chrono::steady_clock::now();
  const std::string target = mode_ == CopyMode::kAtomic ? to + ".kestovar-tmp" : to;
  {
    Fd in{open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) FailWithErrno();
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | (mode_ == CopyMode::kAtomic ? O_EXCL : O_TRUNC);
    Fd out{open(target.c_str(), flags, 0644)};
    if (out.fd < 0) FailWithErrno();
    try {
      CopyContents(in.fd, out.fd);
    } catch (const Failure&) {
      if (mode_ == CopyMode::kAtomic) unlink(target.c_str());
      throw;
    }
  }
  const auto renaming = std::chrono::steady_clock::now();
  if (mode_ == CopyMode::kAtomic && rename(target.c_str(), to.c_str()) != 0) {
    const int error = errno;
    unlink(target.c_str());
    errno = error;
    FailWithErrno();
  }
  const auto done = std::chrono::steady_clock::now();
  time_renaming += done - renaming;
  time_copying += done - started;
  ++copies;
}

void DiskMachine::MakeDirectory(const Text& path) {
  Host(path, probe_path_);
  if (mkdir(probe_path_.c_str(), 0755) != 0) FailWithErrno();
}

std::uint32_t DiskMachine::GetLogicalDriveStringsA(std::uint32_t size, char* buffer) {
  std::uint32_t needed = 1;
  for (const Drive& drive : drives_) needed += drive.listed ? 4 : 0;
  if (size < needed) return needed;
  for (const Drive& drive : drives_) {
    if (!drive.listed) continue;
    *buffer++ = drive.letter;
    *buffer++ = ':';
    *buffer++ = '\\';
    *buffer++ = '\0';
  }
  *buffer = '\0';
  return needed - 1;
}

std::uint32_t DiskMachine::GetDriveTypeA(const char* root) {
  const Drive* drive = Find(static_cast<unsigned char>(root[0]));
  return drive != nullptr && drive->listed ? drive->type : 1;  // 1: no such root
}

}  // namespace kestovar::bench

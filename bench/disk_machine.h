// A lean platform for the benchmark: drive letters mapped to real folders, files copied with
// the system's own fast path, and nothing recorded beyond two counters and the time spent
// copying. The tests' double keeps a journal of every call; this one must cost no more than a
// real platform would.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/displays.h"
#include "platform/services.h"

namespace kestovar::bench {

// Thrown by End(): the pass found nothing missing.
struct Ended {};

enum class CopyMode {
  kAtomic,  // under a temporary name beside the destination, then renamed over it (as on Win32)
  kDirect,  // straight into the destination, truncating it
};

class DiskMachine : public Services {
 public:
  struct Drive {
    char letter;
    std::uint32_t type;
    std::string root;    // host folder; empty: a drive with no media
    bool listed = true;  // in the drive list; a letter left out still works in paths
  };

  DiskMachine(std::vector<Drive> drives, Text current_directory, CopyMode mode);

  Text CurrentDirectory() override { return current_directory_; }
  Text Dir(const Text& path, int attributes) override;
  void FileCopy(const Text& source, const Text& destination) override;
  void MakeDirectory(const Text& path) override;
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override;
  std::uint32_t GetDriveTypeA(const char* root) override;
  int ShowMessage(const Text&, int, const std::optional<Text>&) override { return 1; }
  [[noreturn]] void End() override { throw Ended{}; }
  Text DecimalSeparator() override { return u"."; }

  std::chrono::nanoseconds time_copying{0};   // inside FileCopy, whole
  std::chrono::nanoseconds time_renaming{0};  // of which renaming the copy into place
  int copies = 0;

 private:
  // Writes into host the host path a Windows path ("D:\DATA\X.TR2") stands for; fails with 52
  // on a drive without media, like a CD-ROM drive with no disc. The caller's buffer keeps its
  // capacity from call to call: no allocation per probe.
  void Host(const Text& windows_path, std::string& host) const;
  const Drive* Find(char16_t letter) const;

  std::vector<Drive> drives_;
  std::array<const Drive*, 26> by_letter_{};  // a lookup that costs the same for 1 or 26 drives
  Text current_directory_;
  CopyMode mode_;
  std::string probe_path_, from_, to_;
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

}  // namespace kestovar::bench

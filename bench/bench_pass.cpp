// One copy pass through the engine on a real file system, for tools/bench.sh.
//
//   bench_pass --disc DIR --install-root DIR [--drives N] [--other DIR] [--copy atomic|direct]
//
// The machine: the installation directory is C:\GAME (C: is --install-root); the disc is in
// Z:, the last drive of the list. With N drives the list holds N-1 more letters from A: on:
// C: a fixed disk, every other one a CD-ROM drive holding some other disc (--other, a folder
// without the game's files), so that each of them costs the pass its full 32 entry steps.
//
// Prints one line: pass_us, copy_us (inside the file copies), rename_us (of which renames),
// copies and hwm_kib. Fails unless the pass found the
// installation complete and ended the program.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/disk_machine.h"
#include "engine/copy_engine.h"

using namespace kestovar;
using namespace kestovar::bench;

namespace {

long PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_pass --disc DIR --install-root DIR [--drives N] [--other DIR] "
               "[--copy atomic|direct]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string disc, install_root, other;
  int drives = 1;
  CopyMode mode = CopyMode::kAtomic;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--disc")
      disc = value;
    else if (option == "--install-root")
      install_root = value;
    else if (option == "--other")
      other = value;
    else if (option == "--drives")
      drives = std::stoi(value);
    else if (option == "--copy" && (value == "atomic" || value == "direct"))
      mode = value == "atomic" ? CopyMode::kAtomic : CopyMode::kDirect;
    else
      return Usage();
  }
  if (disc.empty() || install_root.empty() || drives < 1 || drives > 26 ||
      (drives > 1 && other.empty())) {
    return Usage();
  }

  std::vector<DiskMachine::Drive> list;
  bool fixed_listed = false;
  for (int n = 0; n < drives - 1; ++n) {
    const char letter = static_cast<char>('A' + n);
    if (letter == 'C') {
      list.push_back({'C', 3, install_root});
      fixed_listed = true;
    } else {
      list.push_back({letter, kDriveCdrom, other});
    }
  }
  if (!fixed_listed) list.push_back({'C', 3, install_root, /*listed=*/false});
  list.push_back({'Z', kDriveCdrom, disc});

  DiskMachine machine(std::move(list), u"C:\\GAME", mode);
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

  using std::chrono::duration_cast;
  using std::chrono::microseconds;
  std::printf("pass_us %lld copy_us %lld rename_us %lld copies %d hwm_kib %ld\n",
              static_cast<long long>(duration_cast<microseconds>(pass).count()),
              static_cast<long long>(duration_cast<microseconds>(machine.time_copying).count()),
              static_cast<long long>(duration_cast<microseconds>(machine.time_renaming).count()),
              machine.copies, PeakResidentKib());
  if (!ended) {
    std::fprintf(stderr, "bench_pass: the pass did not complete the installation\n");
    return 1;
  }
  return 0;
}

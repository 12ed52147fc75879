// The platform services on Windows: kernel32 and user32, in UTF-16 ("W" calls) except the two
// 8-bit drive queries. Every failure is a Failure carrying ErrorNumber(GetLastError()).
#pragma once

#include <windows.h>

#include <optional>
#include <utility>

#include "platform/services.h"
#include "platform/win32/reparse_guard.h"
#include "platform/win32/sharing.h"

namespace kestovar {

class Win32Services : public Services {
 public:
  // Installs into `folder`, or where the program is started when it is empty. Guarded, it
  // follows no reparse point on the way to that folder or in it, and writes nowhere else (Windows'
  // own guard for such a pass is asked for at the program's start: app/defences.h).
  explicit Win32Services(Text folder = Text(), bool guarded = false)
      : folder_(std::move(folder)), guard_(!guarded) {}

  // A new pass: whatever held a file in the last one may have let go, so the next held file is
  // waited for in full again. Its installation folder is asked once, for the engine and the guard
  // alike: asked twice, a reparse point changed in between could give them two.
  void BeginPass() override;
  // The folders that were checked for reparse points during the pass are free again.
  void EndPass() override;

  // The pass's installation folder; outside a pass, asked anew.
  Text CurrentDirectory() override;
  Text Dir(const Text& path, int attributes) override;
  void FileCopy(const Text& source, const Text& destination) override;
  void MakeDirectory(const Text& path) override;
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override;
  std::uint32_t GetDriveTypeA(const char* root) override;
  int ShowMessage(const Text& text, int style, const std::optional<Text>& title) override;
  [[noreturn]] void End() override;
  Text DecimalSeparator() override;

 private:
  Text InstallationFolder() const;

  Text folder_;
  ReparsePointGuard guard_;
  DWORD patience_ = kFullPatience;  // of the next rename or removal whose file is held
  bool in_pass_ = false;
  Text pass_folder_;
  int pass_failure_ = 0;  // the error number of asking for the pass's folder, or 0
};

}  // namespace kestovar

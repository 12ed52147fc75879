#include "platform/win32/win32_services.h"

#include <new>
#include <string>

#include "platform/win32/atomic_copy.h"
#include "platform/win32/errors.h"
#include "platform/win32/listing.h"
#include "platform/win32/paths.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_folders.h"

namespace kestovar {
namespace {

constexpr wchar_t kProgramTitle[] = L"Kestovar";

}  // namespace

void Win32Services::BeginPass() {
  patience_ = kFullPatience;
  in_pass_ = true;
  pass_failure_ = 0;
  // A folder that cannot be asked leaves the guard the last pass's, as the engine keeps its own.
  try {
    pass_folder_ = InstallationFolder();
    guard_.SetInstallationFolder(Wide(pass_folder_));
  } catch (const Failure& failure) {
    pass_failure_ = failure.number;
  } catch (const std::bad_alloc&) {
    pass_failure_ = ErrorNumber(ERROR_NOT_ENOUGH_MEMORY);
  }
}

void Win32Services::EndPass() {
  in_pass_ = false;
  guard_.ReleaseFolders();
}

Text Win32Services::CurrentDirectory() {
  if (!in_pass_) return InstallationFolder();
  if (pass_failure_ != 0) throw Failure{pass_failure_};
  return pass_folder_;
}

Text Win32Services::InstallationFolder() const {
  // The folder an elevated start was given, else the one the program was started in.
  const std::wstring current = folder_.empty() ? CurrentFolder() : std::wstring(Wide(folder_));
  // Started from an elevated command prompt, or elevated by a launcher that passes no folder,
  // the program finds itself in the system folder. Game data never belongs in the Windows
  // folders, by whatever name they are given: there the game's folder is the one the program
  // is in.
  if (IsInWindowsFolders(current)) return ProgramFolder();
  return FromWide(current.c_str());
}

Text Win32Services::Dir(const Text& path, int attributes) {
  // No reparse point counts as an installed file.
  if (guard_.CrossesReparsePoint(Wide(path))) return Text();
  return FirstMatch(path, attributes);
}

void Win32Services::FileCopy(const Text& source, const Text& destination) {
  CopyAtomically(source, destination, guard_, patience_);
}

void Win32Services::MakeDirectory(const Text& path) {
  if (guard_.FollowsReparsePoints()) {
    if (!CreateDirectoryW(Wide(path), nullptr)) FailWithLastError();
    return;
  }
  // Through no reparse point, and made by the handle of the folder it is in, held since it was
  // checked.
  if (!guard_.MayWrite(Wide(path))) Fail(ERROR_ACCESS_DENIED);
  const DWORD error = guard_.CreateFolder(Wide(path));
  if (error != ERROR_SUCCESS) Fail(error);
}

std::uint32_t Win32Services::GetLogicalDriveStringsA(std::uint32_t size, char* buffer) {
  return ::GetLogicalDriveStringsA(size, buffer);
}

std::uint32_t Win32Services::GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }

int Win32Services::ShowMessage(const Text& text, int style, const std::optional<Text>& title) {
  // Task-modal: while it is open no window of the program takes input, so no second pass
  // can start from a button.
  const int button = MessageBoxW(nullptr, Wide(text), title ? Wide(*title) : kProgramTitle,
                                 static_cast<UINT>(style) | MB_TASKMODAL);
  // Every answer is a button's number; Windows says 0 where the box could not be made (no room
  // left on the desktop), Wine -1.
  if (button <= 0) FailWithLastError();
  return button;
}

void Win32Services::End() { ExitProcess(0); }

Text Win32Services::DecimalSeparator() {
  // Asked for its size and then filled, as FilledString does; but an empty separator is an answer
  // here, not a failure.
  const int needed = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0);
  if (needed == 0) FailWithLastError();
  std::wstring buffer(needed, L'\0');
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer.data(), needed) == 0) {
    FailWithLastError();
  }
  return FromWide(buffer.c_str());
}

}  // namespace kestovar

#include "platform/win32/atomic_copy.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/checked_files.h"
#include "platform/win32/errors.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/nt_files.h"
#include "platform/win32/sharing.h"
#include "platform/win32/system_dlls.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// "ASSAULT.TR2" is copied as "ASSAULT.~00", or "ASSAULT.~01" when that name is taken, and so
// on: beside the destination, so that the final rename stays on one volume, and no longer than
// it, so that a folder deep enough to hold the destination holds the temporary copy too.
constexpr unsigned kTemporaryNames = 256;
Text TemporaryName(const Text& destination, unsigned attempt) {
  constexpr char16_t kHex[] = u"0123456789ABCDEF";
  const std::size_t name = destination.find_last_of(u'\\') + 1;
  const std::size_t replaced = std::min<std::size_t>(3, destination.size() - name);
  return destination.substr(0, destination.size() - replaced) + u'~' + kHex[attempt / 16 % 16] +
         kHex[attempt % 16];
}

// The attributes without read-only; a file needs at least one.
DWORD Writable(DWORD attributes) {
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  return writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL;
}

// A temporary copy that will not be used, where there is one: deleted even when it came out
// read-only. The last error stays the one that made it unused.
void DeleteUnused(const Text& temporary, DWORD& patience) {
  const DWORD error = GetLastError();
  Handle file;
  // A scanner may hold it for a moment without sharing its deletion.
  RetryWhileHeld(patience, [&] {
    file = OpenChecked(temporary, DELETE | FILE_WRITE_ATTRIBUTES, kSharedWithAll);
    return static_cast<bool>(file);
  });
  if (file && SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL)) SetDeleted(file.get());
  SetLastError(error);
}

// Whether the name is taken by a file pending deletion: deleted while another program held it
// (sharing deletion, as scanners do), it stays until that one lets go, and every open of it, also
// a copy to its name, is refused as access denied. (From a Windows 10 of 2018 on, NTFS removes the
// name at once.)
bool IsDeletePending(const Text& name) {
  return GetFileAttributesW(Wide(name)) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() == ERROR_ACCESS_DENIED;
}

// Deletes a temporary copy that a copy killed with the program left behind, an ordinary file
// that no program has open. One that another program has open, or that is not ours to change,
// stays as it is.
void DeleteLeftover(const Text& temporary) {
  // Shared with no one: the open fails while any other program has it open.
  const Handle file = OpenChecked(temporary, DELETE | FILE_WRITE_ATTRIBUTES, 0);
  // It may have come out read-only, which refuses the deletion.
  if (file && SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL)) SetDeleted(file.get());
}

// Deletes every leftover temporary copy of the destination, under any of its temporary names: a
// pass killed while an earlier one was held leaves one under a later name.
void DeleteLeftovers(const Text& destination) {
  const Text first = TemporaryName(destination, 0);
  const std::size_t name = first.find_last_of(u'\\') + 1;
  const Text stem = first.substr(name, first.size() - name - 2);  // up to the "~"
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(Wide(first.substr(0, first.size() - 2) + u"??"), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  const auto hex = [](wchar_t digit) {
    return (digit >= L'0' && digit <= L'9') || (digit >= L'A' && digit <= L'F');
  };
  std::vector<Text> leftovers;
  do {
    // The search also matches short names, and names a character shorter.
    const std::wstring found = entry.cFileName;
    if (found.size() == stem.size() + 2 && SameName(found.substr(0, stem.size()), Wide(stem)) &&
        hex(found[stem.size()]) && hex(found[stem.size() + 1])) {
      leftovers.push_back(first.substr(0, name) + FromWide(found.c_str()));
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  for (const Text& leftover : leftovers) DeleteLeftover(leftover);
}

// Clears the temporary copy's read-only flag: files on a disc are read-only, and the installed
// copy must not be, or the next pass could not replace it.
bool ClearReadOnly(const Text& temporary, DWORD& patience) {
  // Asked by name first: a copy that came out writable needs no change, nor its handle.
  const DWORD attributes = GetFileAttributesW(Wide(temporary));
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsReparsePoint(attributes) &&
      attributes == Writable(attributes)) {
    return true;
  }
  Handle file;
  BY_HANDLE_FILE_INFORMATION found;
  RetryWhileHeld(patience, [&] {
    file = OpenChecked(temporary, FILE_WRITE_ATTRIBUTES, kSharedWithAll, &found);
    return static_cast<bool>(file);
  });
  return file && (found.dwFileAttributes == Writable(found.dwFileAttributes) ||
                  SetAttributes(file.get(), Writable(found.dwFileAttributes)));
}

// Flushes what the system still holds of a file to the disk. Windows writes a closed file's data
// in its own time, and may write a rename done later before it: after a power cut the name would
// then stand for a file of the right size full of zeros.
bool FlushToDisk(const Text& file, DWORD& patience) {
  Handle handle;
  // Opened as itself, so that a reparse point put in its place is not taken for it; a scanner may
  // hold it. (Nothing is changed through this handle: the name was checked where its flag was.)
  RetryWhileHeld(patience, [&] {
    handle = Handle(CreateFileW(Wide(file), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(handle);
  });
  return handle && !IsOpenedOnReparsePoint(handle.get()) && FlushFileBuffers(handle.get());
}

// The copy flag that keeps a copy off symbolic links where the guard follows none: one put at a
// temporary name since it was found free fails the copy, rather than the copy going where it
// leads. Vista on: XP knows neither symbolic links to files nor the flag.
DWORD NoFollowFlag(const ReparsePointGuard& guard) {
  constexpr DWORD kCopySymlink = 0x800;  // COPY_FILE_COPY_SYMLINK
  static const bool has_symlinks =
      LookUp<FARPROC>(L"kernel32.dll", "CreateSymbolicLinkW") != nullptr;
  return guard.FollowsReparsePoints() || !has_symlinks ? 0 : kCopySymlink;
}

}  // namespace

void CopyAtomically(const Text& source, const Text& destination, ReparsePointGuard& guard,
                    DWORD& patience) {
  if (!guard.MayWrite(Wide(destination))) Fail(ERROR_ACCESS_DENIED);
  if (!guard.HoldsFolderOf(Wide(destination))) Fail(ERROR_PATH_NOT_FOUND);
  DeleteLeftovers(destination);
  Text temporary;
  for (unsigned attempt = 0;; ++attempt) {
    if (attempt == kTemporaryNames) Fail(ERROR_FILE_EXISTS);
    temporary = TemporaryName(destination, attempt);
    // A name still taken is another copy's running now or another program's, or one pending
    // deletion: not ours to touch. The copy itself makes sure that the name is free, should it
    // be taken in between.
    if (GetFileAttributesW(Wide(temporary)) != INVALID_FILE_ATTRIBUTES) continue;
    if (CopyFileExW(Wide(source), Wide(temporary), CopyProgressRoutine, nullptr, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS | NoFollowFlag(guard))) {
      break;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    if (error == ERROR_ACCESS_DENIED && IsDeletePending(temporary)) continue;
    DeleteUnused(temporary, patience);  // a partial copy, where the system leaves one
    Fail(error);
  }

  const bool written = ClearReadOnly(temporary, patience) && FlushToDisk(temporary, patience);
  // Windows refuses to rename over a read-only file (one installed by another tool keeps the
  // disc's flag): the installed copy loses the flag just before, and has it back should the
  // rename still fail.
  const DWORD replaced = GetFileAttributesW(Wide(destination));
  const bool read_only =
      replaced != INVALID_FILE_ATTRIBUTES &&
      (replaced & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY;
  // (Guarded, the name is asked again before each change: between tries another user could have
  // made it a reparse point.)
  const auto unlinked = [&] { return !guard.CrossesReparsePoint(Wide(destination)); };
  const Retried renamed = !written ? Retried::kInVain : RetryWhileHeld(patience, [&] {
    return (!read_only || (unlinked() && SetAttributesChecked(destination, Writable(replaced)))) &&
           MoveFileExW(Wide(temporary), Wide(destination), MOVEFILE_REPLACE_EXISTING);
  });
  // Only a file let go while its rename waited shows that the holders let go: then the next
  // held file is waited for as long as the first. A pass in which every file stays held is so
  // about twice the full patience longer in all, not a second a file.
  if (renamed == Retried::kAfterLetGo) patience = kFullPatience;
  if (renamed == Retried::kInVain) {
    const DWORD error = GetLastError();
    if (read_only && unlinked()) SetAttributesChecked(destination, replaced);
    DeleteUnused(temporary, patience);
    Fail(error);
  }
}

}  // namespace kestovar

#include "platform/win32/reparse_guard.h"

#include "platform/win32/checked_files.h"
#include "platform/win32/nt_files.h"

namespace kestovar {
namespace {

// Where the first folder below the drive root begins in the path: after "C:\", also written
// "\\?\C:\"; npos for a path of another kind.
std::size_t BelowTheRoot(const std::wstring& path) {
  const std::size_t drive = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
  const bool lettered =
      path.size() > drive + 2 && path[drive + 1] == L':' && path[drive + 2] == L'\\';
  return lettered ? drive + 3 : std::wstring::npos;
}

// A file of the guard's own in the folder the handle holds, made there whatever the folder's name
// leads to by now, shared with no one and gone once closed: while it is there, the folder is not
// empty, and no one can make it a junction. Empty where it cannot be made.
Handle Keeper(HANDLE folder) {
  return CreateInFolder(folder, L"Brenmira.~ln", DELETE,
                        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, 0, kFileOpenIf,
                        kDeleteOnClose | kNonDirectoryFile | kOpenReparsePoint);
}

}  // namespace

bool ReparsePointGuard::Covers(const std::wstring& path) const {
  // The engine writes every path in the folder as the folder itself was answered.
  if (folder_.empty() || path.compare(0, folder_.size(), folder_) != 0) return false;
  // Another folder whose name begins as this one's is not in it.
  return folder_.back() == L'\\' || path.size() == folder_.size() || path[folder_.size()] == L'\\';
}

bool ReparsePointGuard::CrossesReparsePoint(const std::wstring& path) {
  if (follows_ || !Covers(path)) return false;
  std::size_t from = BelowTheRoot(path);
  if (from == std::wstring::npos) from = folder_.size();  // a path of another kind: below it only
  for (std::size_t end = path.find(L'\\', from); end != std::wstring::npos;
       end = path.find(L'\\', end + 1)) {
    if (path[end - 1] == L'\\') continue;  // a backslash doubled (the engine joins with its own)
    if (!HoldIfNoReparsePoint(path.substr(0, end), end >= folder_.size())) return true;
  }
  // The name itself: the attributes of a reparse point are its own, not those of what it leads to.
  return IsReparsePoint(GetFileAttributesW(path.c_str()));
}

bool ReparsePointGuard::HoldIfNoReparsePoint(const std::wstring& folder, bool kept) {
  for (const HeldFolder& held : held_) {
    if (held.name == folder) return !IsOpenedOnReparsePoint(held.folder.get());
  }
  // Opened as itself, not as what it may lead to.
  Handle handle(CreateFileW(folder.c_str(), kHeldAccess, kHeldSharing, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  // Asked of what was opened and of the name, which no one can change while it is open (Wine
  // tells a symbolic link by its name only): before the keeper is made, which would be made where a
  // reparse point leads.
  if (IsOpenedOnReparsePoint(handle.get()) || IsReparsePoint(GetFileAttributesW(folder.c_str())))
    return false;
  return Hold(folder, std::move(handle), kept);
}

bool ReparsePointGuard::Hold(const std::wstring& folder, Handle handle, bool kept) {
  Handle keeper = kept ? Keeper(handle.get()) : Handle();
  // Asked of what was opened once more, when nothing can make it a reparse point any more.
  if ((kept && !keeper) || IsOpenedOnReparsePoint(handle.get())) return false;
  held_.push_back({folder, std::move(handle), std::move(keeper)});
  return true;
}

HANDLE ReparsePointGuard::HeldFolderOf(const std::wstring& path, bool* at_root) const {
  *at_root = false;
  std::size_t end = path.find_last_of(L'\\');
  if (end == std::wstring::npos) return nullptr;
  // The engine joins a drive root and a name with a backslash of its own: "G:\\DATA".
  while (end > 0 && path[end - 1] == L'\\') --end;
  const std::wstring outer = path.substr(0, end);
  for (const HeldFolder& held : held_) {
    if (held.name == outer) return held.folder.get();
  }
  *at_root = BelowTheRoot(path) == end + 1;
  return nullptr;
}

bool ReparsePointGuard::HoldsFolderOf(const std::wstring& path) const {
  bool at_root = false;
  return follows_ || HeldFolderOf(path, &at_root) != nullptr || at_root;
}

DWORD ReparsePointGuard::CreateFolder(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos) return ERROR_BAD_PATHNAME;
  bool at_root = false;
  HANDLE in = HeldFolderOf(path, &at_root);
  // A drive root is never held: no one can make it a reparse point.
  Handle root;
  if (at_root) {
    const std::wstring drive = path.substr(0, BelowTheRoot(path));
    root = Handle(CreateFileW(drive.c_str(), kHeldAccess, kHeldSharing | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    in = root.get();
  }
  if (in == nullptr) return ERROR_PATH_NOT_FOUND;  // the folder it would be in is not there
  // Made in the folder by its handle: a name taken since it was checked, by a reparse point too,
  // fails as taken.
  Handle made = CreateInFolder(in, path.substr(separator + 1), kHeldAccess, FILE_ATTRIBUTE_NORMAL,
                               kHeldSharing, kFileCreate, kDirectoryFile | kOpenReparsePoint);
  if (!made) return GetLastError();
  return Hold(path, std::move(made), path.size() >= folder_.size()) ? ERROR_SUCCESS
                                                                    : ERROR_ACCESS_DENIED;
}

void ReparsePointGuard::ReleaseFolders() { held_.clear(); }

}  // namespace kestovar

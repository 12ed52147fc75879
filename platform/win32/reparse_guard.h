// Reparse points on the way to the installation folder and in it, for a pass that holds an
// administrator's rights. It can then write where the player could not, in folders that other
// users may have made (every user may make one in a drive root): a junction, symbolic link or
// mount point there could lead its writes anywhere. It follows none of them. The player's own
// pass follows the player's own links, as every program the player runs does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/handle.h"

namespace kestovar {

class ReparsePointGuard {
 public:
  explicit ReparsePointGuard(bool follows) : follows_(follows) {}
  ReparsePointGuard(const ReparsePointGuard&) = delete;
  ReparsePointGuard& operator=(const ReparsePointGuard&) = delete;

  bool FollowsReparsePoints() const { return follows_; }

  // The installation folder: paths in it are checked, others not.
  void SetInstallationFolder(const std::wstring& folder) { folder_ = folder; }

  // Whether a write to the path may go ahead: following reparse points, always; else only in the
  // installation folder, through none.
  bool MayWrite(const std::wstring& path) {
    return follows_ || (Covers(path) && !CrossesReparsePoint(path));
  }

  // Whether the path, in the installation folder, is a reparse point or leads through one, from
  // the drive root down: one above the folder leads its writes away as well as one below it. Each
  // folder on its way that is none stays open until ReleaseFolders, shared with every reader and
  // writer but with no one who would rename or remove it. A folder can still be made a junction in
  // place while it is empty: the installation folder and those below it hold a file of the guard's
  // own until then (hidden, gone when the pass or the program ends), and each folder is asked again
  // before every use. A folder that cannot be checked counts as a reparse point; one that is not
  // there leads nowhere.
  bool CrossesReparsePoint(const std::wstring& path);

  // Whether the folder the path is in is held (or a drive root, which no one can make a reparse
  // point): a folder that was not there when it was checked could be made a junction before a
  // write opens the path. Following reparse points, always.
  bool HoldsFolderOf(const std::wstring& path) const;

  // Creates the folder, whose path was found through no reparse point, in the folder it is in as
  // that one is held, and holds it too: a name taken in between, by a reparse point as well, fails
  // as taken. The error, or ERROR_SUCCESS.
  DWORD CreateFolder(const std::wstring& path);

  // The folders checked are free to be renamed and deleted again.
  void ReleaseFolders();

 private:
  // A folder is held with access to its listing, without which its share mode would keep no one
  // out, shared with every reader and writer but with no one who would rename or remove it.
  static constexpr DWORD kHeldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
  static constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  struct HeldFolder {
    std::wstring name;
    Handle folder, keeper;
  };
  bool Covers(const std::wstring& path) const;
  HANDLE HeldFolderOf(const std::wstring& path, bool* at_root) const;
  bool HoldIfNoReparsePoint(const std::wstring& folder, bool kept);
  bool Hold(const std::wstring& folder, Handle handle, bool kept);

  bool follows_;
  std::wstring folder_;
  std::vector<HeldFolder> held_;
};

}  // namespace kestovar

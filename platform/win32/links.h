// Links on the way to the installation folder and in it, for an instance started by the program's
// own elevation. It then holds an administrator's rights in a folder the player could not write,
// where other users may have made folders (every user may make one in a drive root): a junction,
// symbolic link or mount point there could lead its writes anywhere. It follows none of them.
// Started by the player, the program follows the player's own links, as every program the player
// runs does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/handle.h"

namespace kestovar {

class LinkGuard {
 public:
  // Following no links, it asks for Windows' own guard too, where Windows has one
  // (RedirectionGuard, on recent Windows 10 and 11): then the process follows no junction that a
  // user who is not an administrator made, anywhere.
  explicit LinkGuard(bool follows_links);
  LinkGuard(const LinkGuard&) = delete;
  LinkGuard& operator=(const LinkGuard&) = delete;

  bool FollowsLinks() const { return follows_links_; }

  // The installation folder: paths in it are checked, others not.
  void Below(const std::wstring& folder) { folder_ = folder; }

  // Whether the path, in the installation folder, is a link or leads through one, from the drive
  // root down: a link above the folder leads its writes away as well as one below it. Each folder
  // on its way that is none stays open until LetGo, shared with every reader and writer but with
  // no one who would rename or remove it. A folder can still be made a junction in place while it
  // is empty: the installation folder and those below it hold a file of the guard's own until then
  // (hidden, gone when the pass or the program ends), and each folder is asked again before every
  // use. A folder that cannot be checked counts as a link; one that is not there leads nowhere.
  bool ThroughALink(const std::wstring& path);

  // Makes the folder, whose path was found through no link, in the folder it is in as that one is
  // held, and holds it too: a name taken in between, by a link as well, fails as taken. The error,
  // or ERROR_SUCCESS.
  DWORD MakeFolder(const std::wstring& path);

  // The folders checked are free to be renamed and removed again.
  void LetGo();

 private:
  // A folder is held with access to its listing, without which its share mode would keep no one
  // out, shared with every reader and writer but with no one who would rename or remove it.
  static constexpr DWORD kHeldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
  static constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  struct Held {
    std::wstring name;
    Handle folder, keeper;
  };
  bool HoldsNoLink(const std::wstring& folder, bool kept);
  bool Hold(const std::wstring& folder, Handle handle, bool kept);

  bool follows_links_;
  std::wstring folder_;
  std::vector<Held> held_;
};

// Whether a file or folder's attributes are those of a link.
inline bool IsALink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether what a handle was opened on (with FILE_FLAG_OPEN_REPARSE_POINT) is a link, or cannot be
// told.
inline bool OpenedOnALink(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION found;
  return !GetFileInformationByHandle(handle, &found) || IsALink(found.dwFileAttributes);
}

}  // namespace kestovar

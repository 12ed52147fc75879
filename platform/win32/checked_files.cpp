#include "platform/win32/checked_files.h"

#include <string>

#include "platform/win32/nt_files.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// Whether the open file is the one its path names: on the volume of the folder the path names, at
// that folder's path there, by the file's name. A reparse point on the way that took the open
// elsewhere, also a symbolic link of the object manager's, which no attribute shows, makes them
// differ.
bool IsAtItsPath(HANDLE file, const BY_HANDLE_FILE_INFORMATION& found, const Text& path) {
  const std::size_t separator = path.find_last_of(u'\\');
  if (separator == Text::npos) return false;
  const Handle folder(CreateFileW(Wide(path.substr(0, separator + 1)), FILE_READ_ATTRIBUTES,
                                  kSharedWithAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION outer;
  if (!folder || !GetFileInformationByHandle(folder.get(), &outer) ||
      outer.dwVolumeSerialNumber != found.dwVolumeSerialNumber) {
    return false;
  }
  std::wstring expected = PathOnVolume(folder.get());
  if (!expected.empty() && expected.back() == L'\\') expected.pop_back();  // the volume's root
  const Text name = path.substr(separator + 1);
  expected += L'\\';
  expected += Wide(name);
  const std::wstring opened = PathOnVolume(file);
  return !opened.empty() && SameName(opened, expected);
}

}  // namespace

Handle OpenChecked(const Text& path, DWORD access, DWORD sharing,
                   BY_HANDLE_FILE_INFORMATION* information) {
  Handle file(CreateFileW(Wide(path), access | FILE_READ_ATTRIBUTES, sharing, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return file;
  BY_HANDLE_FILE_INFORMATION found;
  const bool ours =
      GetFileInformationByHandle(file.get(), &found) && found.nNumberOfLinks == 1 &&
      !(found.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
      IsAtItsPath(file.get(), found, path);
  if (!ours) {
    SetLastError(kNotOurs);
    return Handle();
  }
  if (information != nullptr) *information = found;
  return file;
}

bool SetAttributesChecked(const Text& path, DWORD attributes) {
  const Handle file = OpenChecked(path, FILE_WRITE_ATTRIBUTES, kSharedWithAll);
  return file && SetAttributes(file.get(), attributes);
}

}  // namespace kestovar

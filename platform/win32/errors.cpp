#include "platform/win32/errors.h"

#include "platform/services.h"

namespace kestovar {
namespace {

// System error -> error number, for every service. The copy engine tells only 52 apart (a
// drive it cannot read: its files get no progress step), so 52 is kept for exactly that.
//
//   52  device unavailable: drive not ready (a CD-ROM drive with no disc), no or unreadable
//       media, no such drive, a network drive gone; a name that cannot be read (bad syntax)
//   53  file not found
//   57  device I/O error: CRC, seek, sector, read or write fault (a scratched disc)
//   61  disk full
//   67  too many files open
//   70  permission denied: access denied, write-protected, sharing or lock violation
//   75  path/file access error: exists already; and anything else, also no reason given
//   76  path not found
//    7  out of memory
struct ErrorRow {
  DWORD system_error;
  int number;
};
// clang-format off
constexpr ErrorRow kErrorTable[] = {
    {ERROR_NOT_READY, 52}, {ERROR_NO_MEDIA_IN_DRIVE, 52}, {ERROR_MEDIA_CHANGED, 52},
    {ERROR_UNRECOGNIZED_MEDIA, 52}, {ERROR_UNRECOGNIZED_VOLUME, 52}, {ERROR_NOT_DOS_DISK, 52},
    {ERROR_WRONG_DISK, 52}, {ERROR_INVALID_DRIVE, 52}, {ERROR_DEV_NOT_EXIST, 52},
    {ERROR_BAD_NETPATH, 52}, {ERROR_BAD_NET_NAME, 52},
    {ERROR_INVALID_NAME, 52}, {ERROR_BAD_PATHNAME, 52}, {ERROR_FILENAME_EXCED_RANGE, 52},
    {ERROR_FILE_NOT_FOUND, 53}, {ERROR_NO_MORE_FILES, 53},
    {ERROR_CRC, 57}, {ERROR_SEEK, 57}, {ERROR_SECTOR_NOT_FOUND, 57}, {ERROR_READ_FAULT, 57},
    {ERROR_WRITE_FAULT, 57}, {ERROR_GEN_FAILURE, 57}, {ERROR_IO_DEVICE, 57},
    {ERROR_DISK_FULL, 61}, {ERROR_HANDLE_DISK_FULL, 61},
    {ERROR_TOO_MANY_OPEN_FILES, 67},
    {ERROR_ACCESS_DENIED, 70}, {ERROR_WRITE_PROTECT, 70}, {ERROR_SHARING_VIOLATION, 70},
    {ERROR_LOCK_VIOLATION, 70},
    {ERROR_FILE_EXISTS, 75}, {ERROR_ALREADY_EXISTS, 75},
    {ERROR_PATH_NOT_FOUND, 76},
    {ERROR_NOT_ENOUGH_MEMORY, 7}, {ERROR_OUTOFMEMORY, 7},
};
// clang-format on
constexpr int kOtherFailure = 75;

}  // namespace

int ErrorNumber(DWORD system_error) {
  for (const ErrorRow& row : kErrorTable) {
    if (row.system_error == system_error) return row.number;
  }
  return kOtherFailure;
}

void Fail(DWORD system_error) { throw Failure{ErrorNumber(system_error)}; }

void FailWithLastError() { Fail(GetLastError()); }

}  // namespace kestovar

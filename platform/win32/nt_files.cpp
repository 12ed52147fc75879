#include "platform/win32/nt_files.h"

#include <winternl.h>

#include <vector>

#include "platform/win32/system_dlls.h"

namespace kestovar {
namespace {

using Status = LONG;  // NTSTATUS: negative for a failure

// The classes of NtQueryInformationFile and NtSetInformationFile used here, as the WDK numbers
// them. FILE_DISPOSITION_INFORMATION, which the mingw-w64 headers lack, is one BOOLEAN.
constexpr ULONG kFileBasicInformation = 4;
constexpr ULONG kFileNameInformation = 9;
constexpr ULONG kFileDispositionInformation = 13;
static_assert(sizeof(FILE_BASIC_INFORMATION) == 40, "four times and the attributes, as Windows'");

// A failure's status as the last error: what Windows' own calls would have set.
bool Succeeded(Status status) {
  if (status >= 0) return true;
  using ToError = ULONG(NTAPI*)(Status);
  static const auto to_error = LookUp<ToError>(L"ntdll.dll", "RtlNtStatusToDosError");
  SetLastError(to_error != nullptr ? to_error(status) : ERROR_GEN_FAILURE);
  return false;
}

using Information = Status(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, ULONG);

bool SetInformation(HANDLE handle, void* information, ULONG size, ULONG kind) {
  static const auto set = LookUp<Information>(L"ntdll.dll", "NtSetInformationFile");
  IO_STATUS_BLOCK status{};
  return set != nullptr && Succeeded(set(handle, &status, information, size, kind));
}

}  // namespace

Handle CreateInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG attributes,
                      ULONG share, ULONG disposition, ULONG options) {
  using Create = Status(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, IO_STATUS_BLOCK*,
                                LARGE_INTEGER*, ULONG, ULONG, ULONG, ULONG, void*, ULONG);
  static const auto create = LookUp<Create>(L"ntdll.dll", "NtCreateFile");
  std::wstring text_of_name = name;
  const auto bytes = static_cast<USHORT>(text_of_name.size() * sizeof(wchar_t));
  UNICODE_STRING counted{bytes, bytes, text_of_name.data()};
  OBJECT_ATTRIBUTES object{};  // by name: the x86-64 headers spell its padding out as members
  object.Length = sizeof object;
  object.RootDirectory = folder;
  object.ObjectName = &counted;
  object.Attributes = OBJ_CASE_INSENSITIVE;
  IO_STATUS_BLOCK status{};
  HANDLE made = nullptr;
  if (create == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return Handle();
  }
  const Status created = create(&made, access | SYNCHRONIZE, &object, &status, nullptr, attributes,
                                share, disposition, options | kSynchronousIo, nullptr, 0);
  return Succeeded(created) ? Handle(made) : Handle();
}

std::wstring PathOnVolume(HANDLE handle) {
  static const auto query = LookUp<Information>(L"ntdll.dll", "NtQueryInformationFile");
  if (query == nullptr) return std::wstring();
  // FILE_NAME_INFORMATION: the length in bytes, then the name; asked again, larger, while cut.
  for (ULONG size = 1024;; size *= 2) {
    std::vector<ULONG> buffer(size / sizeof(ULONG));
    IO_STATUS_BLOCK status{};
    const Status asked = query(handle, &status, buffer.data(), size, kFileNameInformation);
    constexpr Status kBufferOverflow = static_cast<Status>(0x80000005);
    if (asked == kBufferOverflow && size < 0x10000 * sizeof(wchar_t)) continue;
    if (!Succeeded(asked)) return std::wstring();
    const auto* name = reinterpret_cast<const wchar_t*>(buffer.data() + 1);
    return std::wstring(name, buffer[0] / sizeof(wchar_t));
  }
}

bool SetAttributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFORMATION basic{};  // times of 0: left as they are
  // 0 would mean "as they are": a file with none left has FILE_ATTRIBUTE_NORMAL.
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetInformation(handle, &basic, sizeof basic, kFileBasicInformation);
}

bool SetDeleted(HANDLE handle) {
  BOOLEAN disposition = TRUE;  // DeleteFile
  return SetInformation(handle, &disposition, sizeof disposition, kFileDispositionInformation);
}

}  // namespace kestovar

#include "platform/win32/win32_services.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resumption.h"
#include "platform/win32/handle.h"
#include "platform/win32/nt_files.h"

namespace kestovar {
namespace {

constexpr wchar_t kProgramTitle[] = L"Kestovar";

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

[[noreturn]] void Fail(DWORD system_error) { throw Failure{ErrorNumber(system_error)}; }
[[noreturn]] void FailWithLastError() { Fail(GetLastError()); }

// Whether the folder part of the path is an ordinary file.
bool InAFile(const Text& path) {
  const std::size_t separator = path.find_last_of(u'\\');
  if (separator == Text::npos) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path.substr(0, separator)));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the listing takes for "nothing matches" rather than a failure. A search whose folder is
// an ordinary file finds nothing too: Windows says so with ERROR_DIRECTORY, Wine with
// ERROR_INVALID_NAME, which otherwise stands for a name the file system rejects.
bool NothingThere(DWORD system_error, const Text& path) {
  return system_error == ERROR_FILE_NOT_FOUND || system_error == ERROR_PATH_NOT_FOUND ||
         system_error == ERROR_NO_MORE_FILES || system_error == ERROR_DIRECTORY ||
         (system_error == ERROR_INVALID_NAME && InAFile(path));
}

// Whether an entry found counts: hidden and system entries never do, folders only when asked.
bool Matches(DWORD found, std::wstring_view name, int attributes) {
  if (found & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
  if (found & FILE_ATTRIBUTE_DIRECTORY) {
    return (attributes & kWithFolders) != 0 && name != L"." && name != L"..";
  }
  return true;
}

// The first entry that matches a pattern, or a folder given with its separator, by a search.
Text Search(const Text& path, int attributes) {
  Text pattern = path;
  // A folder given with its separator is listed, as the classic listing does.
  if (!pattern.empty() && (pattern.back() == u'\\' || pattern.back() == u'/')) pattern += u'*';

  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(Wide(pattern), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (NothingThere(error, path)) return Text();
    Fail(error);
  }
  Text name;
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    if (Matches(entry.dwFileAttributes, entry.cFileName, attributes)) {
      name = FromWide(entry.cFileName);
      break;
    }
    if (!FindNextFileW(search, &entry)) {
      error = GetLastError();
      break;
    }
  }
  FindClose(search);
  if (error != ERROR_SUCCESS && !NothingThere(error, path)) Fail(error);
  return name;
}

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

// Messages sent by other threads are handled (PeekMessage delivers them itself), and so are
// repaints, so that a window uncovered during a long copy is drawn again where nothing
// composes the screen. Input stays queued: it must not reach the windows mid-pass. Bounded,
// should a window ever leave its paint undone.
void AnswerTheSystem() {
  MSG message;
  for (int paints = 0; paints < 16; ++paints) {
    if (!PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) return;
    DispatchMessageW(&message);
  }
}

// Sleeps for so long, answering the system meanwhile.
void Pause(DWORD milliseconds) {
  const DWORD started = GetTickCount();
  for (DWORD waited = 0; waited < milliseconds; waited = GetTickCount() - started) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, QS_SENDMESSAGE | QS_PAINT);
    AnswerTheSystem();
  }
}

// A virus scanner, the search indexer or a backup tool often opens a file just written, for a
// few hundred milliseconds; a rename or a removal then fails with one of these.
bool Held(DWORD system_error) {
  return system_error == ERROR_SHARING_VIOLATION || system_error == ERROR_ACCESS_DENIED;
}

// How a try while another program may hold the file ended.
enum class Outcome { kInVain, kAtOnce, kLetGo };

// Tries again, every 50 ms, while the file is held, for at most `patience` milliseconds. A wait
// in vain halves the patience of the next; the caller restores it where a file let go shows that
// holders let go. The last error stays the one of the last try.
template <class Attempt>
Outcome WhileHeld(DWORD& patience, Attempt&& attempt) {
  const DWORD started = GetTickCount();
  for (Outcome success = Outcome::kAtOnce;; success = Outcome::kLetGo) {
    if (attempt()) return success;
    const DWORD error = GetLastError();
    if (!Held(error)) return Outcome::kInVain;
    const DWORD waited = GetTickCount() - started;
    if (waited >= patience) {
      patience /= 2;
      SetLastError(error);
      return Outcome::kInVain;
    }
    Pause(std::min<DWORD>(50, patience - waited));
  }
}

// Whether the two names are the same, as Windows compares names.
bool SameName(const std::wstring& one, const std::wstring& other) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, one.c_str(), -1, other.c_str(), -1) ==
         CSTR_EQUAL;
}

// The error of a file that is not ours to change: a link, a folder, a second name of a file, or
// one that its path does not lead to. (Not one of those taken for a file held: no wait helps.)
constexpr DWORD kNotOurs = ERROR_CANT_ACCESS_FILE;

// Whether the open file is the one its path names: on the volume of the folder the path names, at
// that folder's path there, by the file's name. A link on the way that took the open elsewhere,
// also one of the object manager's, which no attribute shows, makes them differ.
bool FoundAt(HANDLE file, const BY_HANDLE_FILE_INFORMATION& found, const Text& path) {
  const std::size_t separator = path.find_last_of(u'\\');
  if (separator == Text::npos) return false;
  const Handle folder(CreateFileW(Wide(path.substr(0, separator + 1)), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

// The file at the path, opened as itself (a link of that name is not followed) with the access
// asked for, and checked before anything is changed through the handle: an ordinary file with one
// name (a second name's attributes would change with it), found where its path says. An empty
// handle otherwise, with the last error of the open, or kNotOurs.
Handle OpenChecked(const Text& path, DWORD access, DWORD sharing,
                   BY_HANDLE_FILE_INFORMATION* information = nullptr) {
  Handle file(CreateFileW(Wide(path), access | FILE_READ_ATTRIBUTES, sharing, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return file;
  BY_HANDLE_FILE_INFORMATION found;
  const bool ours =
      GetFileInformationByHandle(file.get(), &found) && found.nNumberOfLinks == 1 &&
      !(found.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
      FoundAt(file.get(), found, path);
  if (!ours) {
    SetLastError(kNotOurs);
    return Handle();
  }
  if (information != nullptr) *information = found;
  return file;
}

// Every kind of sharing: a change of attributes or a deletion asked for on a handle waits for no
// other program that shares as much.
constexpr DWORD kSharedWithAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes of the file at the path, changed through its checked handle.
bool SetAttributesOf(const Text& path, DWORD attributes) {
  const Handle file = OpenChecked(path, FILE_WRITE_ATTRIBUTES, kSharedWithAll);
  return file && SetAttributes(file.get(), attributes);
}

// A temporary copy that will not be used, where there is one: removed even when it came out
// read-only. The last error stays the one that made it unused.
void Discard(const Text& temporary, DWORD& patience) {
  const DWORD error = GetLastError();
  Handle file;
  // A scanner may hold it for a moment without sharing its deletion.
  WhileHeld(patience, [&] {
    file = OpenChecked(temporary, DELETE | FILE_WRITE_ATTRIBUTES, kSharedWithAll);
    return static_cast<bool>(file);
  });
  if (file && SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL)) SetDeleted(file.get());
  SetLastError(error);
}

// Whether the name is taken by a file pending deletion: removed while another program held it
// (sharing deletion, as scanners do), it stays until that one lets go, and every open of it, also
// a copy to its name, is refused as access denied. (From a Windows 10 of 2018 on, NTFS removes the
// name at once.)
bool PendingDeletion(const Text& name) {
  return GetFileAttributesW(Wide(name)) == INVALID_FILE_ATTRIBUTES &&
         GetLastError() == ERROR_ACCESS_DENIED;
}

// Removes a temporary copy that a copy killed with the program left behind, an ordinary file
// that no program has open. One that another program has open, or that is not ours to change,
// stays as it is.
void RemoveLeftover(const Text& temporary) {
  // Shared with no one: the open fails while any other program has it open.
  const Handle file = OpenChecked(temporary, DELETE | FILE_WRITE_ATTRIBUTES, 0);
  // It may have come out read-only, which refuses the deletion.
  if (file && SetAttributes(file.get(), FILE_ATTRIBUTE_NORMAL)) SetDeleted(file.get());
}

// Removes every leftover temporary copy of the destination, under any of its temporary names: a
// pass killed while an earlier one was held leaves one under a later name.
void RemoveLeftovers(const Text& destination) {
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
  for (const Text& leftover : leftovers) RemoveLeftover(leftover);
}

// Makes the temporary copy writable: files on a disc are read-only, and the installed copy must
// not be, or the next pass could not replace it.
bool MadeWritable(const Text& temporary, DWORD& patience) {
  // Asked by name first: a copy that came out writable needs no change, nor its handle.
  const DWORD attributes = GetFileAttributesW(Wide(temporary));
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsALink(attributes) &&
      attributes == Writable(attributes)) {
    return true;
  }
  Handle file;
  BY_HANDLE_FILE_INFORMATION found;
  WhileHeld(patience, [&] {
    file = OpenChecked(temporary, FILE_WRITE_ATTRIBUTES, kSharedWithAll, &found);
    return static_cast<bool>(file);
  });
  return file && (found.dwFileAttributes == Writable(found.dwFileAttributes) ||
                  SetAttributes(file.get(), Writable(found.dwFileAttributes)));
}

// Writes what the system still holds of a file through to the disk. Windows writes a closed file's
// data in its own time, and may write a rename done later before it: after a power cut the name
// would then stand for a file of the right size full of zeros.
bool WrittenThrough(const Text& file, DWORD& patience) {
  Handle handle;
  // Opened as itself, so that a link put in its place is not taken for it; a scanner may hold it.
  // (Nothing is changed through this handle: the name was checked where its flag was.)
  WhileHeld(patience, [&] {
    handle = Handle(CreateFileW(Wide(file), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(handle);
  });
  return handle && !OpenedOnALink(handle.get()) && FlushFileBuffers(handle.get());
}

// A folder name as a system query gives it: asked once for the size, then with that size.
template <class Query>
std::wstring Folder(Query&& query) {
  const UINT needed = query(nullptr, 0);  // with the closing NUL
  std::wstring buffer(needed, L'\0');
  const UINT written = needed == 0 ? 0 : query(buffer.data(), needed);
  buffer.resize(written < needed ? written : 0);
  return buffer;
}

// The current directory, as the system writes it.
std::wstring CurrentFolder() {
  for (;;) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);  // with the closing NUL
    if (needed == 0) FailWithLastError();
    std::wstring current(needed, L'\0');
    const DWORD written = GetCurrentDirectoryW(needed, current.data());
    if (written == 0) FailWithLastError();
    if (written < needed) {
      current.resize(written);
      return current;
    }
    // It changed in between and grew: ask again.
  }
}

// The folder Brenmira.exe is in, written as the current directory is: a drive root with its
// backslash, any other folder without.
Text ProgramFolder() {
  std::wstring path = ProgramPath();
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos) Fail(ERROR_BAD_PATHNAME);
  path.resize(separator == 2 ? 3 : separator);
  return FromWide(path.c_str());
}

// A function of kernel32, which every process has loaded, where this Windows has it.
template <class Function>
Function InKernel32(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The path of the folder opened, named by its volume's device, which every letter and mount
// point of the volume shares: through links, an alias such as Sysnative and a drive letter of its
// own (subst). Empty where Windows cannot tell (before Vista) or the folder cannot be opened.
std::wstring Opened(const std::wstring& folder) {
  std::wstring path = FinalPath(folder, VOLUME_NAME_NT);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The folder's full name with long names for short ones, without the \\?\ prefix, a trailing
// dot or blank, or a closing backslash.
std::wstring Spelled(const std::wstring& folder) {
  std::wstring path = Folder([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(folder.c_str(), size, buffer, nullptr);
  });
  const std::wstring long_names = Folder(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
  if (!long_names.empty()) path = long_names;
  if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// Whether the folder is the other one or inside it, both named alike; an empty name is neither.
bool Within(const std::wstring& folder, const std::wstring& outer) {
  return !outer.empty() && SameName(folder.substr(0, outer.size()), outer) &&
         (folder.size() == outer.size() || folder[outer.size()] == L'\\');
}

// Whether the folder is one of the Windows folders or inside one, however it is written: by the
// path opened where both can be opened, else as spelled (before Vista, or a folder not made yet).
// The Windows folders are named once.
bool InTheWindowsFolders(const std::wstring& folder) {
  struct Names {
    std::wstring opened, spelled;
  };
  static const std::vector<Names> windows = [] {
    std::vector<Names> names;
    for (const std::wstring& system :
         {Folder(GetSystemWindowsDirectoryW), Folder(GetSystemDirectoryW),
          Folder(GetSystemWow64DirectoryW)}) {  // the last one only on 64-bit Windows
      if (!system.empty()) names.push_back({Opened(system), Spelled(system)});
    }
    return names;
  }();
  const std::wstring opened = Opened(folder);
  for (const Names& system : windows) {
    const bool by_handle = !opened.empty() && !system.opened.empty();
    if (by_handle ? Within(opened, system.opened) : Within(Spelled(folder), system.spelled)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (written == 0) FailWithLastError();
    if (written < path.size()) {
      path.resize(written);
      break;
    }
    path.resize(path.size() * 2);  // cut short (XP does not say so otherwise)
  }
  return path;
}

std::wstring FinalPath(const std::wstring& folder, DWORD form) {
  using Final = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const auto final_path = InKernel32<Final>("GetFinalPathNameByHandleW");
  if (final_path == nullptr) return std::wstring();
  const HANDLE opened = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring path =
      Folder([&](wchar_t* buffer, DWORD size) { return final_path(opened, buffer, size, form); });
  CloseHandle(opened);
  return path;
}

HMODULE LoadSystemDll(const wchar_t* dll) {
  // Windows 8 on, and Vista and 7 with the update KB2533623 that brought SetDefaultDllDirectories,
  // search the system folder alone when asked, after the manifest's redirection.
  if (InKernel32<FARPROC>("SetDefaultDllDirectories") != nullptr) {
    return LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Elsewhere a name the manifest redirects is loaded by that name alone, since a full path
  // would bypass the redirection; the redirection, not the search, finds it. Any other name,
  // by the system folder's full path.
  ACTCTX_SECTION_KEYED_DATA redirected{};
  redirected.cbSize = sizeof(ACTCTX_SECTION_KEYED_DATA_2600);  // XP's size, which all later take
  if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, dll,
                               &redirected)) {
    return LoadLibraryW(dll);
  }
  const std::wstring system = Folder(GetSystemDirectoryW);
  return system.empty() ? nullptr : LoadLibraryW((system + L'\\' + dll).c_str());
}

void KeepDllsToTheSystemFolder() {
  // The current folder out of the search (XP SP1 on).
  using SetDirectory = BOOL(WINAPI*)(const wchar_t*);
  if (const auto set_directory = InKernel32<SetDirectory>("SetDllDirectoryW")) set_directory(L"");
  // The program's own folder out too, where Windows has that (as LoadSystemDll).
  using SetDefaults = BOOL(WINAPI*)(DWORD);
  const auto set_defaults = InKernel32<SetDefaults>("SetDefaultDllDirectories");
  if (set_defaults != nullptr && set_defaults(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Where the program's folder stays in the search (XP; Vista and 7 without the update), the
  // system's copy of what Windows' own DLLs later load by name is loaded first: a DLL loaded
  // answers every later load of its name. Common controls 6 load uxtheme.dll, which imports
  // dwmapi.dll on Vista and 7 (XP has none): that one first, so that uxtheme's own load of it
  // finds it loaded rather than searching the program's folder.
  for (const wchar_t* dll : {L"dwmapi.dll", L"uxtheme.dll"}) LoadSystemDll(dll);
}

int ErrorNumber(DWORD system_error) {
  for (const ErrorRow& row : kErrorTable) {
    if (row.system_error == system_error) return row.number;
  }
  return kOtherFailure;
}

DWORD CALLBACK KeepAliveDuringCopy(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                   DWORD, DWORD, HANDLE, HANDLE, LPVOID) {
  // A slow disc can hold a single chunk for longer than the 5 seconds after which Windows takes
  // the windows for hung ("Not Responding"); no ghost takes their place, for the program turned
  // ghosting off at its start. Between chunks, messages sent by other threads are answered and
  // uncovered windows drawn again; no input reaches them mid-pass.
  AnswerTheSystem();
  return PROGRESS_CONTINUE;
}

DWORD Win32Services::NotThroughALink() const {
  // A symbolic link put at a temporary name since it was found free fails the copy, rather than
  // the copy going where it leads. Vista on: XP knows neither links to files nor the flag.
  constexpr DWORD kCopyTheLinkItself = 0x800;  // COPY_FILE_COPY_SYMLINK
  static const bool links_to_files = InKernel32<FARPROC>("CreateSymbolicLinkW") != nullptr;
  return links_.FollowsLinks() || !links_to_files ? 0 : kCopyTheLinkItself;
}

Text Win32Services::CurrentDirectory() {
  const Text folder = InstallationFolder();
  links_.Below(Wide(folder));
  return folder;
}

Text Win32Services::InstallationFolder() {
  // The folder an elevated start was given, else the one the program was started in.
  const std::wstring current = folder_.empty() ? CurrentFolder() : std::wstring(Wide(folder_));
  // Started from an elevated command prompt, or elevated by a launcher that passes no folder,
  // the program finds itself in the system folder. Game data never belongs in the Windows
  // folders, by whatever name they are given: there the game's folder is the one the program
  // is in.
  if (InTheWindowsFolders(current)) return ProgramFolder();
  return FromWide(current.c_str());
}

Text Win32Services::Dir(const Text& path, int attributes) {
  // A plain path names at most one entry: one attribute query answers for it, where a search
  // would open and close the folder. Patterns and folders to list are searched.
  if (links_.ThroughALink(Wide(path))) return Text();  // no link counts as an installed file
  const Text name = path.substr(path.find_last_of(u"\\/:") + 1);
  if (name.empty() || name.find_first_of(u"*?") != Text::npos) return Search(path, attributes);

  WIN32_FILE_ATTRIBUTE_DATA entry;
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &entry)) {
    const DWORD error = GetLastError();
    if (NothingThere(error, path)) return Text();
    Fail(error);
  }
  return Matches(entry.dwFileAttributes, Wide(name), attributes) ? name : Text();
}

void Win32Services::FileCopy(const Text& source, const Text& destination) {
  // The copy is made under a temporary name, written through to the disk, and renamed over the
  // destination only then, so a copy cut short (disc taken out, read error, full disk) or a power
  // cut leaves the old file, or nothing, and no part of a file.
  if (links_.ThroughALink(Wide(destination))) Fail(ERROR_ACCESS_DENIED);
  RemoveLeftovers(destination);
  Text temporary;
  for (unsigned attempt = 0;; ++attempt) {
    if (attempt == kTemporaryNames) Fail(ERROR_FILE_EXISTS);
    temporary = TemporaryName(destination, attempt);
    // A name still taken is another copy's running now or another program's, or one pending
    // deletion: not ours to touch. The copy itself makes sure that the name is free, should it
    // be taken in between.
    if (GetFileAttributesW(Wide(temporary)) != INVALID_FILE_ATTRIBUTES) continue;
    if (CopyFileExW(Wide(source), Wide(temporary), KeepAliveDuringCopy, nullptr, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS | NotThroughALink())) {
      break;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    if (error == ERROR_ACCESS_DENIED && PendingDeletion(temporary)) continue;
    Discard(temporary, patience_);  // a partial copy, where the system leaves one
    Fail(error);
  }

  const bool written = MadeWritable(temporary, patience_) && WrittenThrough(temporary, patience_);
  // Windows refuses to rename over a read-only file (one installed by another tool keeps the
  // disc's flag): the installed copy loses the flag just before, and has it back should the
  // rename still fail.
  const DWORD replaced = GetFileAttributesW(Wide(destination));
  const bool read_only =
      replaced != INVALID_FILE_ATTRIBUTES &&
      (replaced & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY;
  // (Guarded, the name is asked again before each change: between tries another user could have
  // made it a link.)
  const auto unlinked = [&] { return !links_.ThroughALink(Wide(destination)); };
  const Outcome renamed = !written ? Outcome::kInVain : WhileHeld(patience_, [&] {
    return (!read_only || (unlinked() && SetAttributesOf(destination, Writable(replaced)))) &&
           MoveFileExW(Wide(temporary), Wide(destination), MOVEFILE_REPLACE_EXISTING);
  });
  // Only a file let go while its rename waited shows that the holders let go: then the next
  // held file is waited for as long as the first. A pass in which every file stays held is so
  // about twice the full patience longer in all, not a second a file.
  if (renamed == Outcome::kLetGo) patience_ = kFullPatience;
  if (renamed == Outcome::kInVain) {
    const DWORD error = GetLastError();
    if (read_only && unlinked()) SetAttributesOf(destination, replaced);
    Discard(temporary, patience_);
    Fail(error);
  }
}

void Win32Services::MakeDirectory(const Text& path) {
  if (links_.FollowsLinks()) {
    if (!CreateDirectoryW(Wide(path), nullptr)) FailWithLastError();
    return;
  }
  // Through no link, and made by the handle of the folder it is in, held since it was checked.
  if (links_.ThroughALink(Wide(path))) Fail(ERROR_ACCESS_DENIED);
  const DWORD error = links_.MakeFolder(Wide(path));
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
  const int needed = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0);
  if (needed == 0) FailWithLastError();
  std::wstring buffer(needed, L'\0');
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer.data(), needed) == 0) {
    FailWithLastError();
  }
  return FromWide(buffer.c_str());
}

}  // namespace kestovar

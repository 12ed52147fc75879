// The Windows tests under Wine. tools/e2e.sh runs each row's tests in a fresh prefix with the
// drives the row maps, under a file size limit. Services: what Windows does and Wine does not show.
// The others: Brenmira.exe end to end, driven from outside as a user drives it. They use nothing
// of the program's code: what it must show is written out here.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "platform/win32/errors.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/win32_services.h"

namespace kestovar::testing {
namespace {

namespace fs = std::filesystem;

// The engine tells only 52 apart, a drive it cannot read, whose files get no progress step:
// Windows says "not ready" of a CD-ROM drive without a disc. A name the file system rejects
// fails the same way; a path where nothing is, is no failure. What the listing answers, for a
// plain path and for a pattern alike: a name, nothing, or a failure's number.
TEST(Services, ErrorNumbersKeep52ForWhatCannotBeRead) {
  for (DWORD error : {ERROR_NOT_READY, ERROR_NO_MEDIA_IN_DRIVE, ERROR_UNRECOGNIZED_MEDIA,
                      ERROR_INVALID_DRIVE, ERROR_DEV_NOT_EXIST}) {
    EXPECT_EQ(ErrorNumber(error), 52) << error;
  }
  for (DWORD error : {ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                      ERROR_DISK_FULL, ERROR_CRC, ERROR_GEN_FAILURE, ERROR_DIRECTORY}) {
    EXPECT_NE(ErrorNumber(error), 52) << error;
  }
  for (DWORD error = 0; error < 20000; ++error) ASSERT_NE(ErrorNumber(error), 0) << error;
  fs::create_directories(L"C:\\GAME\\FOLDER.TR2");
  for (const wchar_t* file : {L"FILE.TR2", L"HIDDEN.TR2", L"SYSTEM.TR2"}) {
    std::ofstream(fs::path(L"C:\\GAME") / file) << "on the disc";
  }
  SetFileAttributesW(L"C:\\GAME\\HIDDEN.TR2", FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(L"C:\\GAME\\SYSTEM.TR2", FILE_ATTRIBUTE_SYSTEM);
  const auto answer = [](const Text& path, int attributes) {
    try {
      const Text name = Win32Services().Dir(path, attributes);
      return std::string(name.begin(), name.end());  // these names are plain ASCII
    } catch (const Failure& failure) {
      return std::to_string(failure.number);
    }
  };
  // Each path's answer asked for ordinary files only, then with folders.
  for (const auto& [path, files, folders] :
       std::initializer_list<std::tuple<Text, std::string, std::string>>{
           {u"C:\\GAME\\FILE.TR2", "FILE.TR2", "FILE.TR2"},
           {u"C:\\GAME\\FOLDER.TR2", "", "FOLDER.TR2"},
           {u"C:\\GAME\\HIDDEN.TR2", "", ""},  // hidden and system entries never count
           {u"C:\\GAME\\SYSTEM.TR2", "", ""},
           {u"C:\\GAME\\?????.TR2", "", ""},
           {u"C:\\GAME\\MISSING.TR2", "", ""},  // nothing there: no file, no folder
           {u"C:\\NOWHERE\\X.TR2", "", ""},
           {u"C:\\GAME\\FILE.TR2\\X.TR2", "", ""},  // a file where a folder should be
           {u"C:\\A*B\\X.TR2", "52", "52"},         // names the file system rejects
           {u"C:\\A|B\\X.TR2", "52", "52"}}) {
    const std::string ascii(path.begin(), path.end());
    EXPECT_EQ(answer(path, kOrdinaryFiles), files) << ascii;
    EXPECT_EQ(answer(path, kWithFolders), folders) << ascii;
  }
}

// Wine's copy never calls its progress routine; Windows does, all through a slow disc, where it
// must keep the program answering the system, and its windows drawn, without taking any input.
std::set<UINT> seen_by_window;
LRESULT CALLBACK RecordingWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  seen_by_window.insert(message);
  return DefWindowProcW(window, message, w, l);
}
DWORD WINAPI CallFromAnotherThread(LPVOID window) {
  return SendNotifyMessageW(static_cast<HWND>(window), WM_USER, 0, 0);
}

TEST(Services, CopyProgressAnswersWaitingCallsButLeavesInputQueued) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = RecordingWindow;
  window_class.lpszClassName = L"KestovarRecordingWindow";
  RegisterClassW(&window_class);
  const HWND window = CreateWindowW(window_class.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                    10, 10, nullptr, nullptr, nullptr, nullptr);
  InvalidateRect(window, nullptr, TRUE);  // uncovered, say
  // A message sent from another thread waits until this thread looks at its queue.
  const HANDLE caller = CreateThread(nullptr, 0, CallFromAnotherThread, window, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(caller, 5000), WAIT_OBJECT_0);
  CloseHandle(caller);
  PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
  const LARGE_INTEGER size{};
  EXPECT_EQ(CopyProgressRoutine(size, size, size, size, 1, CALLBACK_CHUNK_FINISHED, nullptr,
                                nullptr, nullptr),
            static_cast<DWORD>(PROGRESS_CONTINUE));
  EXPECT_TRUE(seen_by_window.count(WM_USER));
  EXPECT_TRUE(seen_by_window.count(WM_PAINT));
  EXPECT_FALSE(seen_by_window.count(WM_KEYDOWN));
  MSG queued;
  EXPECT_TRUE(PeekMessageW(&queued, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
}

// A pass with an administrator's rights writes only in its installation folder: a path the guard
// does not check (written elsewhere, or before any folder is known) is refused, not written.
TEST(Services, AnAdministratorsPassWritesNowhereButItsFolder) {
  fs::create_directories(L"C:\\GUARDED");
  std::ofstream(L"C:\\DISC.TR2") << "on the disc";
  const auto failure = [](const std::function<void()>& write) {
    try {
      write();
      return 0;
    } catch (const Failure& failure) {
      return failure.number;
    }
  };
  Win32Services unknown(u"", true);
  EXPECT_EQ(failure([&] { unknown.MakeDirectory(u"\\UNKNOWN"); }), 70);
  Win32Services services(u"C:\\GUARDED", true);
  services.BeginPass();
  EXPECT_EQ(failure([&] { services.MakeDirectory(u"C:\\ELSEWHERE"); }), 70);
  EXPECT_EQ(failure([&] { services.FileCopy(u"C:\\DISC.TR2", u"C:\\GUARDEDX.TR2"); }), 70);
  EXPECT_EQ(failure([&] { services.FileCopy(u"C:\\DISC.TR2", u"C:\\GUARDED\\X.TR2"); }), 0);
  services.EndPass();
  EXPECT_FALSE(fs::exists(L"C:\\UNKNOWN") || fs::exists(L"C:\\ELSEWHERE") ||
               fs::exists(L"C:\\GUARDEDX.TR2"));
  EXPECT_TRUE(fs::exists(L"C:\\GUARDED\\X.TR2"));
  // The folder is asked once a pass, so that the guard checks the one the pass writes in.
  const fs::path started = fs::current_path();
  fs::current_path(L"C:\\GUARDED");
  Win32Services current;
  current.BeginPass();
  fs::current_path(L"C:\\");
  EXPECT_TRUE(current.CurrentDirectory() == u"C:\\GUARDED");
  current.EndPass();
  EXPECT_TRUE(current.CurrentDirectory() == u"C:\\");
  fs::current_path(started);
}

// --- Brenmira.exe end to end ---

using Paths = std::vector<std::wstring>;
const Paths kCatalogue = {
    L"DATA\\ASSAULT.TR2",  L"DATA\\BOAT.TR2",     L"DATA\\CATACOMB.TR2", L"DATA\\CUT1.TR2",
    L"DATA\\CUT2.TR2",     L"DATA\\CUT3.TR2",     L"DATA\\CUT4.TR2",     L"DATA\\DECK.TR2",
    L"DATA\\EMPRTOMB.TR2", L"DATA\\FLOATING.TR2", L"DATA\\HOUSE.TR2",    L"DATA\\ICECAVE.TR2",
    L"DATA\\KEEL.TR2",     L"DATA\\LIVING.TR2",   L"DATA\\MONASTRY.TR2", L"DATA\\OPERA.TR2",
    L"DATA\\PLATFORM.TR2", L"DATA\\RIG.TR2",      L"DATA\\SKIDOO.TR2",   L"DATA\\TITLE.TR2",
    L"DATA\\UNWATER.TR2",  L"DATA\\VENICE.TR2",   L"DATA\\WALL.TR2",     L"DATA\\XIAN.TR2",
    L"FMV\\ANCIENT.RPL",   L"FMV\\CRASH.RPL",     L"FMV\\END.RPL",       L"FMV\\JEEP.RPL",
    L"FMV\\LANDING.RPL",   L"FMV\\LOGO.RPL",      L"FMV\\MODERN.RPL",    L"FMV\\MS.RPL"};
Paths Slice(size_t from, size_t to) { return {kCatalogue.begin() + from, kCatalogue.begin() + to}; }
const Paths kData = Slice(0, 24), kVideos = Slice(24, 32);
const fs::path kFolder = L"C:\\Játékok\\Őrült Űrhajó";
constexpr wchar_t kMainTitle[] = L"Hiba történt", kProgressTitle[] = L"Fájlok másolása a CD-ről";

std::string Utf8(const std::wstring& text) {
  const std::u8string utf8 = fs::path(text).u8string();
  return {utf8.begin(), utf8.end()};
}

// A setting of the run; a host path in it as Windows reaches it from inside Wine.
std::wstring Setting(const wchar_t* name, bool host_path = false) {
  std::wstring value(32767, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  EXPECT_FALSE(value.empty()) << Utf8(name) << " is not set: run through tools/e2e.sh";
  if (host_path) std::replace(value.begin(), value.end(), L'/', L'\\');
  return host_path ? L"\\\\?\\unix" + value : value;
}

// The Windows generation the row runs the program as (tests/win32/generation.cpp), or none.
std::wstring Generation() {
  wchar_t name[16] = L"";
  GetEnvironmentVariableW(L"KESTOVAR_WINDOWS", name, 16);
  return name;
}

bool WaitUntil(const std::function<bool()>& ready, double seconds = 10) {
  const DWORD started = GetTickCount();
  for (;;) {
    if (ready()) return true;
    if (GetTickCount() - started > static_cast<DWORD>(seconds * 1000)) return false;
    Sleep(20);  // a polling interval, not a wait for something
  }
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The list the main window shows for these missing files.
std::wstring Report(const Paths& missing) {
  std::wstring text = L"A következő fájlok másolása nem sikerült: \r\n\r\n";
  for (const std::wstring& file : missing) text += file.substr(file.find(L'\\') + 1) + L"\r\n";
  return text;
}

// A window's text, asked of the window: it must be answering.
std::wstring Text(HWND window) {
  std::wstring text(4096, L'\0');
  DWORD_PTR length = 0;
  EXPECT_TRUE(SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                                  reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                                  &length));
  return text.substr(0, length);
}

HWND Child(HWND parent, const wchar_t* kind, const wchar_t* text = nullptr) {
  HWND child = nullptr;
  while ((child = FindWindowExW(parent, child, kind, nullptr)) && text && Text(child) != text) {
  }
  return child;
}

std::wstring Percent() { return Text(Child(FindWindowW(nullptr, kProgressTitle), L"Static")); }

// "(8,16) 353x203": a control in its window's client area, or a window's client area.
std::string Placement(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  if (GetParent(window)) {
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  }
  std::ostringstream text;
  text << "(" << r.left << "," << r.top << ") " << r.right - r.left << "x" << r.bottom - r.top;
  return text.str();
}

// A file beside this exe.
fs::path Beside(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).replace_filename(name);
}
const fs::path kExe = Beside(L"Brenmira.exe");

// The paths of a process's modules of this name.
std::vector<std::wstring> Modules(DWORD process, const wchar_t* name) {
  std::vector<std::wstring> paths;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
  MODULEENTRY32W module{sizeof module};
  for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
    if (_wcsicmp(module.szModule, name) == 0) paths.push_back(module.szExePath);
  }
  CloseHandle(snapshot);
  return paths;
}

// The row's generation.dll loaded into a process started suspended, before its first instruction:
// a thread of its own runs LoadLibraryW on it (the process's first thread to run, under Wine it
// sets the process up first). Wine, too, answers as that Windows to what asks its version (Windows
// 8 and later say 6.2 to a program whose manifest names none of them, as this one's does not).
void LoadGeneration(const PROCESS_INFORMATION& started) {
  const std::wstring dll = Beside(L"generation.dll").wstring();
  const SIZE_T size = (dll.size() + 1) * sizeof(wchar_t);
  void* name = VirtualAllocEx(started.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_TRUE(name && WriteProcessMemory(started.hProcess, name, dll.c_str(), size, nullptr));
  const FARPROC load = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
  const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(load));
  const HANDLE loader = CreateRemoteThread(started.hProcess, nullptr, 0, start, name, 0, nullptr);
  ASSERT_TRUE(loader);
  EXPECT_EQ(WaitForSingleObject(loader, 10000), WAIT_OBJECT_0);
  CloseHandle(loader);
  VirtualFreeEx(started.hProcess, name, 0, MEM_RELEASE);
  EXPECT_EQ(Modules(started.dwProcessId, L"generation.dll").size(), 1u)
      << "not run as " << Utf8(Generation());
  const std::map<std::wstring, DWORD> majors = {{L"xp", 5}, {L"vista7", 6}, {L"10", 6}};
  EXPECT_EQ(LOBYTE(GetVersion()), majors.at(Generation())) << "Wine's own version";
}

// Brenmira.exe (beside this exe, unless told), started in a folder as a user starts it from the
// game's folder; ended if a test leaves it running. Its windows are the only ones on the row's
// machine. Wine's programs run elevated; one started limited has the limited token that UAC
// links to that, as a user's program has on Windows. Where told, a hook of refuse_windows.dll
// refuses it windows from its start. Where the row names a Windows generation, it runs as that.
enum class Token { kElevated, kLimited };
class Program {
 public:
  explicit Program(const fs::path& folder, Token token = Token::kElevated,
                   const fs::path& exe = kExe,
                   const std::wstring& arguments = L"", const char* refusal = nullptr) {
    fs::create_directories(folder);
    STARTUPINFOW startup{sizeof startup};
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) &&
                GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size));
    CloseHandle(own);
    std::wstring line = L"\"" + exe.wstring() + L"\" " + arguments;
    EXPECT_TRUE(CreateProcessAsUserW(token == Token::kLimited ? linked.LinkedToken : nullptr,
                                     exe.c_str(), line.data(), nullptr, nullptr, FALSE,
                                     CREATE_DEFAULT_ERROR_MODE | CREATE_SUSPENDED, nullptr,
                                     folder.c_str(), &startup, &info_));
    CloseHandle(linked.LinkedToken);
    if (!Generation().empty()) LoadGeneration(info_);
    if (refusal != nullptr) {
      const HMODULE hooks = LoadLibraryW(Beside(L"refuse_windows.dll").c_str());
      const FARPROC found = GetProcAddress(hooks, refusal);
      const auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(found));
      EXPECT_TRUE(SetWindowsHookExW(WH_CBT, hook, hooks, info_.dwThreadId)) << refusal;
    }
    ResumeThread(info_.hThread);
  }
  ~Program() {
    if (Running()) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  void ExpectEndedWell(DWORD expected = 0) const {
    ASSERT_EQ(WaitForSingleObject(info_.hProcess, 20000), WAIT_OBJECT_0) << "still running";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    EXPECT_EQ(code, expected);
  }
  DWORD Id() const { return info_.dwProcessId; }
  std::vector<std::wstring> Modules(const wchar_t* name) const { return testing::Modules(Id(), name); }
  // Its window with this title, or its message box, once shown.
  HWND Await(const wchar_t* title = nullptr) const {
    HWND found = nullptr;
    WaitUntil([&] { return Shown(found = Window(title)) || !Running(); });
    EXPECT_TRUE(Shown(found)) << "no window " << Utf8(title ? title : L"#32770");
    return found;
  }
  static HWND Window(const wchar_t* title) {
    return FindWindowW(title ? nullptr : L"#32770", title);
  }
  static bool Shown(HWND window) { return window && IsWindowVisible(window); }
  HWND Focus() const {
    GUITHREADINFO info{sizeof info};
    GetGUIThreadInfo(info_.dwThreadId, &info);
    return info.hwndFocus;
  }
  // A key pressed on the control that has the focus, through the program's own message loop.
  void Key(WORD key) const {
    PostMessageW(Focus(), WM_KEYDOWN, key, 1);
    PostMessageW(Focus(), WM_KEYUP, key, 0xC0000001);
  }

 private:
  PROCESS_INFORMATION info_{};
};

// The exe a process runs and the command line it was started with, read from its memory.
std::pair<fs::path, std::wstring> Started(DWORD id) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  EXPECT_TRUE(NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic,
                                        nullptr) >= 0 &&
              ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
              ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters,
                                nullptr));
  const auto read = [&](const UNICODE_STRING& text) {
    std::wstring read(text.Length / sizeof(wchar_t), L'\0');
    ReadProcessMemory(process, text.Buffer, read.data(), text.Length, nullptr);
    return read;
  };
  std::pair<fs::path, std::wstring> started{read(parameters.ImagePathName),
                                            read(parameters.CommandLine)};
  CloseHandle(process);
  return started;
}

// A button pressed, once its window takes input (a disabled window takes no click).
void Click(HWND button) {
  ASSERT_TRUE(button && IsWindowEnabled(GetAncestor(button, GA_ROOT)));
  PostMessageW(button, BM_CLICK, 0, 0);
}

// A message box answered, or a window closed by its title bar, and gone.
void Close(HWND window, bool box = false) {
  if (box) Click(GetDlgItem(window, IDOK));
  if (!box) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); })) << "still there";
}

// A shell command run on the Linux host, and waited for until it makes `done` (Wine gives no
// handle to wait on). The command may hold no double quote.
void OnHost(const std::wstring& command, const fs::path& done) {
  fs::remove(done);
  std::wstring line = L"sh -c \"" + command + L"\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION shell{};
  CreateProcessW(L"\\\\?\\unix\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                 &startup, &shell);
  CloseHandle(shell.hThread);
  CloseHandle(shell.hProcess);
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(done); })) << "not done: " << Utf8(command);
}

// The whole screen as the X server shows it, kept as NN-name.png among the row's artifacts.
void Shot(const std::string& name) {
  static int count = 0;
  const std::wstring file =
      std::to_wstring(++count + 100).substr(1) + L"-" + fs::path(name).wstring() + L".png";
  OnHost(L"import -window root '" + Setting(L"KESTOVAR_SHOTS") + L"/" + file + L"'",
         fs::path(Setting(L"KESTOVAR_SHOTS", true)) / file);
}

// The progress bar as the screen shows it at 96 DPI, along its middle row and its first column,
// a letter a pixel: "k" the window-text colour, "b" RGB(0,0,192), "." the window's background.
// The frame is a 1-pixel outline from (23,23) to (351,53); the bar starts at (27,28), `length`
// pixels long and 20 high, outlined. Drawing reaches the screen a moment after it is painted.
void ExpectBar(int length, const std::string& shot) {
  POINT origin{};
  ClientToScreen(FindWindowW(nullptr, kProgressTitle), &origin);
  const HDC screen = GetDC(nullptr);
  const auto pixels = [&](int x, int y, int dx, int dy, int count) {
    const COLORREF background = GetPixel(screen, origin.x + 2, origin.y + 2);
    std::string seen;
    for (; count-- > 0; x += dx, y += dy) {
      const COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
      seen += c == GetSysColor(COLOR_WINDOWTEXT) ? 'k'
              : c == RGB(0, 0, 192)              ? 'b'
              : c == background                  ? '.'
                                                 : '?';
    }
    return seen;
  };
  const std::string bar = length == 1 ? "k" : "k" + std::string(length - 2, 'b') + "k";
  const std::string row = "..k..." + bar + std::string(323 - length, '.') + "k..";
  const std::string column = "..k...." + std::string(20, 'k') + "....k..";
  WaitUntil([&] { return pixels(21, 38, 1, 0, 332) == row && pixels(27, 21, 0, 1, 34) == column; },
            5);
  EXPECT_EQ(pixels(21, 38, 1, 0, 332), row);
  EXPECT_EQ(pixels(27, 21, 0, 1, 34), column);
  ReleaseDC(nullptr, screen);
  Shot(shot);
}

// A file as found: its bytes, and whether it is read-only (then the next install could not
// replace it). Printed as its size and a hash.
struct File {
  std::string bytes;
  bool read_only = false;
  bool operator==(const File&) const = default;
};
void PrintTo(const File& file, std::ostream* out) {
  *out << file.bytes.size() << " bytes, hash " << std::hash<std::string>{}(file.bytes)
       << (file.read_only ? ", read-only" : "");
}
using Files = std::map<std::wstring, File>;

// An older copy of a file installed, and held open by another program (a virus scanner, say) until
// the handle is closed: while it is, nothing can replace the file.
HANDLE Hold(const wchar_t* file) {
  fs::create_directories((kFolder / file).parent_path());
  std::ofstream(kFolder / file) << "an older copy";
  return CreateFileW((kFolder / file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// What DATA and FMV of an installation folder hold, anything besides the game's files included.
Files Installed(const fs::path& folder) {
  Files files;
  for (const wchar_t* sub : {L"DATA", L"FMV"}) {
    if (!fs::is_directory(folder / sub)) continue;
    for (const auto& entry : fs::directory_iterator(folder / sub)) {
      const DWORD attributes = GetFileAttributesW(entry.path().c_str());
      files[sub + (L"\\" + entry.path().filename().wstring())] = {
          Read(entry.path()), (attributes & FILE_ATTRIBUTE_READONLY) != 0};
    }
  }
  return files;
}

// The game's disc in the CD-ROM drive of the row, and a whole copy of it elsewhere, from which
// files can "appear" on the disc while the program runs.
struct Disc {
  fs::path drive = Setting(L"KESTOVAR_DISC");  // "E:\"
  fs::path folder = Setting(L"KESTOVAR_DISC_FOLDER", true);
  fs::path spare = Setting(L"KESTOVAR_SPARE", true);

  void Remove(const Paths& files) const {
    for (const std::wstring& file : files) {
      SetFileAttributesW((folder / file).c_str(), FILE_ATTRIBUTE_NORMAL);
      fs::remove(folder / file);
    }
  }
  void Add(const Paths& files) const {
    for (const std::wstring& file : files) fs::copy_file(spare / file, folder / file);
  }
  // These files as they must arrive: the disc's bytes, and writable.
  Files Copies(const Paths& files) const {
    Files copies;
    for (const std::wstring& file : files) copies[file] = {Read(drive / file)};
    return copies;
  }
};

struct Controls {
  HWND window, list, retry, exit, instruction;
};
Controls AwaitMain(const Program& program) {
  const HWND window = program.Await(kMainTitle);
  const Controls main{
      window, Child(window, L"Edit"), Child(window, L"Button", L"Újra"),
      Child(window, L"Button", L"Kilépés"),
      Child(window, L"Static",
            L"Kérem helyezze be a megfelelő lemezt, majd nyomja meg az Újra gombot.")};
  EXPECT_TRUE(main.list && main.retry && main.exit && main.instruction) << "controls missing";
  return main;
}

// Where the instruction's text ends, in client pixels: the label shows only its background, the
// menu colour, from there to its right edge. Seen with the window widened, so that nothing but
// the label itself can cut the text.
int InstructionEnd(const Controls& main) {
  RECT window{}, label{};
  GetWindowRect(main.window, &window);
  SetWindowPos(main.window, nullptr, 0, 0, window.right - window.left + 40,
               window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(main.instruction, &label);
  const HDC screen = GetDC(nullptr);
  const auto blank = [&](int x) {
    for (int y = label.top; y < label.bottom; ++y) {
      if (GetPixel(screen, x, y) != GetSysColor(COLOR_MENU)) return false;
    }
    return true;
  };
  EXPECT_TRUE(WaitUntil([&] { return blank(label.right - 1); }, 5))
      << "the label does not end on its menu-coloured background";
  POINT end{label.right, label.top};
  while (end.x > label.left && blank(end.x - 1)) --end.x;
  ReleaseDC(nullptr, screen);
  ScreenToClient(main.window, &end);
  return end.x;
}

// A message box as the user sees it: title, text, buttons, and whether it has an icon.
std::wstring Seen(HWND box) {
  std::wstring seen = Text(box) + L" | " + Text(GetDlgItem(box, 0xFFFF)) + L" |";
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[16] = L"";
    GetClassNameW(child, kind, 16);
    if (!IsWindowVisible(child)) continue;
    if (_wcsicmp(kind, L"Button") == 0) seen += L" " + Text(child);
    if (SendMessageW(child, STM_GETICON, 0, 0)) seen += L" icon";
  }
  return seen;
}

// The success message, read while it is up with "100%" and the full bar behind it; then OK.
void AnswerSuccess(const Program& program, const std::string& shot) {
  const HWND box = program.Await();
  EXPECT_EQ(Seen(box), L"Sikeres másolás! | Minden fájl sikeresen felmásolva a CD-ről! | OK");
  EXPECT_EQ(Percent(), L"100%");
  ExpectBar(320, shot);
  // Its controls are common controls 6, which the manifest names, from the side-by-side store.
  const std::vector<std::wstring> controls = program.Modules(L"comctl32.dll");
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_NE(controls[0].find(L"\\winsxs\\"), std::wstring::npos) << Utf8(controls[0]);
  Close(box, true);
}

// A first pass that finds the disc: success, the end, and in DATA and FMV exactly the game's
// files as on the disc (and what `also` holds, left there before).
void ExpectEveryFileCopied(const Program& program, const fs::path& folder, const Files& also = {}) {
  AnswerSuccess(program, "success");
  program.ExpectEndedWell();
  Files expected = Disc().Copies(kCatalogue);
  expected.insert(also.begin(), also.end());
  EXPECT_EQ(Installed(folder), expected);
}
void ExpectEveryFileCopied(const fs::path& folder, const Files& also = {}) {
  ExpectEveryFileCopied(Program(folder), folder, also);
}

// Each test of Brenmira.exe starts from what its row made, whatever ran before it in the row: the
// disc as it came, and nothing of what the tests make on C: (removed on the host, which follows
// no link and minds no flag that Windows or chattr set).
class Fresh : public ::testing::Test {
 protected:
  void SetUp() override {
    OnHost(
        L"chattr -R -i ../Játékok 2>/dev/null; "
        L"rm -rf ../Játékok ../Máshol ../Át ../Letöltések ../Asztal && : >fresh",
        L"fresh");
    const Disc disc;
    const fs::path out = disc.folder.wstring() + L".out";  // the disc taken out
    if (fs::exists(out)) fs::rename(out, disc.folder);
    for (const std::wstring& file : kCatalogue) {
      if (!fs::exists(disc.folder / file)) fs::copy_file(disc.spare / file, disc.folder / file);
    }
    fs::remove(disc.folder / L"Brenmira.exe");
  }
};
using DiscFound = Fresh;
using StartInAWindowsFolder = Fresh;
using PlantedDll = Fresh;
using DamagedCopy = Fresh;
using DriveRoot = Fresh;
using LongFolder = Fresh;
using Leftovers = Fresh;
using InstallFolder = Fresh;
using AdministratorsPass = Fresh;
using PlayersPass = Fresh;
using ElevatedInstance = Fresh;
using MainWindow = Fresh;
using Retry = Fresh;
using Closing = Fresh;

bool OnXp() { return Generation() == L"xp"; }

fs::path SystemFolder() {
  wchar_t system[MAX_PATH];
  EXPECT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  return system;
}

// The arguments of the program's elevated start, given the folder to install in.
std::wstring ElevatedIn(const fs::path& folder) {
  return L"/elevated \"" + folder.wstring() + L"\"";
}

// A copy of Brenmira.exe in the installation folder, as a player keeps it beside the game.
fs::path ExeInTheFolder() {
  fs::create_directories(kFolder);
  fs::copy_file(kExe, kFolder / L"Brenmira.exe");
  return kFolder / L"Brenmira.exe";
}

// Found among every kind of drive the row maps: floppies without a disk, fixed and network disks
// (one with our file names), empty CD-ROM drives and another game's disc before the game's, a
// wrong one after it.
TEST_F(DiscFound, AmongEveryKindOfDrive) {
  ASSERT_EQ(GetLogicalDrives(), (1u << 26) - 1) << "the row did not map A: to Z:";
  ExpectEveryFileCopied(kFolder);
}

// Started in the system folder, as from an elevated command prompt, or in a folder inside the
// Windows folder, or given the system folder by another spelling in its elevated start, it
// installs into the folder it is in: game data never belongs in the Windows folders.
TEST_F(StartInAWindowsFolder, InstallsBesideTheExe) {
  const fs::path exe = ExeInTheFolder(), system = SystemFolder();
  ExpectEveryFileCopied(Program(system, Token::kElevated, exe), kFolder);
  const std::wstring prefixed = L"/elevated \"\\\\?\\" + system.wstring() + L"\"";
  ExpectEveryFileCopied(Program(system, Token::kElevated, exe, prefixed), kFolder);
  wchar_t windows[MAX_PATH];
  ASSERT_NE(GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
  const fs::path inside = fs::path(windows) / L"Temp";
  ExpectEveryFileCopied(Program(inside, Token::kElevated, exe), kFolder);
  EXPECT_FALSE(fs::exists(inside / L"DATA") || fs::exists(inside / L"FMV"));
  EXPECT_FALSE(fs::exists(system / L"DATA") || fs::exists(system / L"FMV"));
}

// A uxtheme.dll left beside the exe, which the row has Wine load before its own, as players set
// for games, is never loaded.
TEST_F(PlantedDll, IsNotLoaded) {
  const fs::path exe = ExeInTheFolder();
  fs::copy_file(Beside(L"planted_uxtheme.dll"), kFolder / L"uxtheme.dll");
  ExpectEveryFileCopied(Program(kFolder, Token::kElevated, exe), kFolder);
  EXPECT_FALSE(fs::exists(kFolder / L"uxtheme.dll.ran")) << "the planted uxtheme.dll ran";
}

// An installed copy that differs from the disc's (damaged, or another edition) is replaced, also
// when it is read-only, as another tool leaves a file copied from the disc. Wine renames over a
// read-only file, Windows does not: the row runs as Windows answers that. Started without
// elevation in a folder it can write, the program asks for none (the row's relay check).
TEST_F(DamagedCopy, IsReplacedEvenWhenReadOnly) {
  fs::create_directories(L"G:\\DATA");
  std::ofstream(L"G:\\DATA\\ASSAULT.TR2") << "damaged";
  ASSERT_TRUE(SetFileAttributesW(L"G:\\DATA\\ASSAULT.TR2", FILE_ATTRIBUTE_READONLY));
  ExpectEveryFileCopied(Program(L"G:\\", Token::kLimited), L"G:\\");
}

// Its own elevated start given a drive root (its backslash doubled before the quote, as the
// program writes it) installs there.
TEST_F(DriveRoot, TakesTheElevatedInstancesFiles) {
  fs::remove_all(L"G:\\DATA");
  fs::remove_all(L"G:\\FMV");
  ExpectEveryFileCopied(Program(L"G:\\", Token::kElevated, kExe, L"/elevated \"G:\\\\\""), L"G:\\");
}

// A folder as long as it can be for a plain copy of the longest name to fit the classic limit of
// 259 characters: no name the program creates there may be longer, which Wine would not refuse,
// also where the longest name's first temporary name is held by another program.
TEST_F(LongFolder, GetsNoNameBeyondThePathLimit) {
  std::wstring folder = L"C:\\Játékok";
  while (folder.size() + std::wstring(L"\\DATA\\EMPRTOMB.TR2").size() < 259) {
    folder += L"\\" + std::wstring(std::min<size_t>(56, 240 - folder.size()), L'ő');
  }
  const fs::path held_name = fs::path(folder) / L"DATA\\EMPRTOMB.~00";
  fs::create_directories(held_name.parent_path());
  std::ofstream(held_name) << "left by a copy that was killed";
  const HANDLE held = CreateFileW(held_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  const HANDLE watched = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, 7, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  alignas(DWORD) static char changes[1 << 16];
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const auto watch = [&] {  // every name that appears in the folder, as the file system says
    ReadDirectoryChangesW(watched, changes, sizeof changes, TRUE, FILE_NOTIFY_CHANGE_FILE_NAME,
                          nullptr, &overlapped, nullptr);
  };
  watch();
  // Wine watches a subfolder that was there before only once something has listed it; Windows
  // needs no such help.
  fs::directory_iterator(folder + L"\\DATA");
  ExpectEveryFileCopied(folder, {{L"DATA\\EMPRTOMB.~00", {"left by a copy that was killed"}}});
  CloseHandle(held);
  std::set<std::wstring> created;
  for (DWORD size = 0; WaitForSingleObject(overlapped.hEvent, 1000) == WAIT_OBJECT_0; watch()) {
    GetOverlappedResult(watched, &overlapped, &size, FALSE);
    for (char* at = changes; size != 0;) {
      const auto& change = *reinterpret_cast<FILE_NOTIFY_INFORMATION*>(at);
      if (change.Action == FILE_ACTION_ADDED || change.Action == FILE_ACTION_RENAMED_NEW_NAME)
        created.emplace(change.FileName, change.FileNameLength / sizeof(wchar_t));
      if (change.NextEntryOffset == 0) break;
      at += change.NextEntryOffset;
    }
  }
  CloseHandle(watched);
  for (const std::wstring& name : created) {
    EXPECT_LE(folder.size() + 1 + name.size(), 259u) << Utf8(name);
  }
  for (const std::wstring& file : kCatalogue) EXPECT_TRUE(created.count(file)) << Utf8(file);
}

// The temporary copies left by copies killed with the program are removed, under every name a
// copy takes, but for one another program holds and a second name of another file (a hard
// link), whose flags and contents stay as they are.
TEST_F(Leftovers, AreRemovedUnlessInUseElsewhere) {
  fs::create_directories(kFolder / L"DATA");
  fs::create_directories(kFolder / L"FMV");
  for (const wchar_t* name :
       {L"DATA\\ASSAULT.~00", L"DATA\\BOAT.~00", L"FMV\\CRASH.~00", L"FMV\\CRASH.~01"}) {
    std::ofstream(kFolder / name) << "left by a copy that was killed";
  }
  const fs::path other = L"C:\\Játékok\\other.txt";
  std::ofstream(other) << "another file";
  ASSERT_TRUE(CreateHardLinkW((kFolder / L"DATA\\CUT1.~00").c_str(), other.c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_READONLY));
  const HANDLE held = CreateFileW((kFolder / L"DATA\\BOAT.~00").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ExpectEveryFileCopied(kFolder, {{L"DATA\\BOAT.~00", {"left by a copy that was killed"}},
                                  {L"DATA\\CUT1.~00", {"another file", true}}});
  EXPECT_TRUE(GetFileAttributesW(other.c_str()) & FILE_ATTRIBUTE_READONLY) << "the other name's";
  CloseHandle(held);
}

// What stands in the way of some files: an ordinary file named DATA where the folder should be,
// a video bigger than the disk takes (the row's file size limit), and an installed video held
// open by another program for the whole pass. Those files are listed; no part of one is left,
// and nothing that was there is harmed. The other videos arrive, also one that a virus scanner
// holds for a moment just when its copy is ready.
TEST_F(InstallFolder, WithFilesInTheWay) {
  fs::create_directories(kFolder / L"FMV");
  std::ofstream(kFolder / L"DATA") << "not a folder";
  const HANDLE scanned = Hold(L"FMV\\ANCIENT.RPL");
  const HANDLE held = Hold(L"FMV\\LOGO.RPL");
  const Program program(kFolder);
  // Let go of 300 ms after the copy is ready under its temporary name.
  EXPECT_TRUE(WaitUntil([] { return fs::exists(kFolder / L"FMV\\ANCIENT.~00"); }));
  Sleep(300);
  CloseHandle(scanned);
  const Controls main = AwaitMain(program);
  CloseHandle(held);
  Paths missing = kData;
  missing.push_back(L"FMV\\CRASH.RPL");
  EXPECT_EQ(Text(main.list), Report(missing));
  EXPECT_EQ(Percent(), L"100%");
  Shot("files-in-the-way");
  EXPECT_EQ(Read(kFolder / L"DATA"), "not a folder");
  Files expected = Disc().Copies(kVideos);
  expected.erase(L"FMV\\CRASH.RPL");
  expected[L"FMV\\LOGO.RPL"] = {"an older copy"};
  EXPECT_EQ(Installed(kFolder), expected);
  Close(main.window);
  Close(FindWindowW(nullptr, kProgressTitle));
  program.ExpectEndedWell();

  // Every data file held for good, as by the game left running: the pass waits about two seconds
  // for them in all, not a second each (the row's relay check counts the renames tried again).
  // A retry, once the game has ended, waits in full again for the one a scanner holds a moment.
  fs::remove(kFolder / L"DATA");
  std::vector<HANDLE> game;
  for (const std::wstring& file : kData) game.push_back(Hold(file.c_str()));
  const DWORD started = GetTickCount();
  const Program again(kFolder);
  const Controls second = AwaitMain(again);
  std::cout << "Every data file held: listed after " << GetTickCount() - started << " ms\n";
  EXPECT_EQ(Text(second.list), Report({L"FMV\\CRASH.RPL"}));  // the old copies stay
  for (const HANDLE file : game) CloseHandle(file);
  const HANDLE scanned_again = Hold(L"DATA\\ASSAULT.TR2");
  Click(second.retry);
  EXPECT_TRUE(WaitUntil([] { return fs::exists(kFolder / L"DATA\\ASSAULT.~00"); }));
  Sleep(300);
  CloseHandle(scanned_again);
  const std::string disc = Read(Disc().drive / L"DATA\\ASSAULT.TR2");
  EXPECT_TRUE(WaitUntil([&] { return Read(kFolder / L"DATA\\ASSAULT.TR2") == disc; }));
}

// A folder that refuses every write, as Program Files refuses a program without elevation (chattr
// +i refuses even root, whom Wine's programs run as).
class Elevation : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    fs::create_directories(kFolder);
    OnHost(L"chattr +i '../Játékok/Őrült Űrhajó'; : >immutable", L"immutable");
    ASSERT_FALSE(std::ofstream(kFolder / L"probe"))
        << "this machine cannot make a folder immutable (chattr +i): nothing was tested here";
  }
};

// Started there, the program lists every file: itself, or, where it asks for elevation, an
// instance that Windows starts elevated (the row's relay check counts such starts), while the
// first waits with no window of its own to end with that one's exit code. That instance is a
// copy of the exe in a folder of the player's own, given the folder to install in, and the copy
// is gone once it has ended. (Wine starts it limited too: it lists every file, and asks no more.)
void ExpectStart(const fs::path& folder, Token token, const fs::path& exe, bool elevation) {
  const Program program(folder, token, exe);
  const Controls main = AwaitMain(program);
  EXPECT_EQ(Text(main.list), Report(kCatalogue));
  DWORD shown_by = 0;
  GetWindowThreadProcessId(main.window, &shown_by);
  if (!elevation) {
    EXPECT_EQ(shown_by, program.Id()) << "another instance shows the list: elevation was asked";
    Close(main.window);
    Close(FindWindowW(nullptr, kProgressTitle));
    program.ExpectEndedWell();
    return;
  }
  ASSERT_NE(shown_by, program.Id()) << "no other instance";
  const auto [elevated_exe, line] = Started(shown_by);
  wchar_t temporary[MAX_PATH];
  GetTempPathW(MAX_PATH, temporary);
  EXPECT_EQ(elevated_exe.parent_path().parent_path(), fs::path(temporary).parent_path());
  EXPECT_EQ(Read(elevated_exe), Read(exe)) << "not a copy of the exe started";
  EXPECT_NE(line.find(ElevatedIn(kFolder)), line.npos) << Utf8(line);
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    EXPECT_FALSE(process == program.Id() && IsWindowVisible(window)) << "the first has a window";
  }
  const HANDLE elevated = OpenProcess(PROCESS_TERMINATE, FALSE, shown_by);
  TerminateProcess(elevated, 7);
  CloseHandle(elevated);
  program.ExpectEndedWell(7);
  EXPECT_FALSE(fs::exists(elevated_exe.parent_path())) << "left: " << Utf8(elevated_exe);
}
// Brenmira.exe beside a folder that would redirect its DLLs (Brenmira.exe.local).
fs::path ExeBesideALocalFolder() {
  const fs::path exe = L"C:\\Letöltések\\Brenmira.exe";
  fs::create_directories(exe.wstring() + L".local");
  fs::copy_file(kExe, exe);
  return exe;
}

// Brenmira.exe on the game's disc, as a setup program may start it from there.
fs::path ExeOnTheDisc() {
  const fs::path exe = Disc().drive / L"Brenmira.exe";
  fs::copy_file(kExe, exe);
  return exe;
}

// The installation folder reached through a link of the player's own above it.
fs::path ThroughThePlayersLink() {
  OnHost(L"ln -s Játékok ../Át && : >above", L"above");
  return L"C:\\Át\\Őrült Űrhajó";
}

constexpr char kNoElevationOnXp[] = "XP knows no elevation: see Elevation.IsNeverAskedOnXp";

TEST_F(Elevation, IsNotAskedByAnElevatedStart) {
  ExpectStart(kFolder, Token::kElevated, kExe, false);
}

TEST_F(Elevation, StartsAPrivateCopyOfTheExeAndRemovesIt) {
  if (OnXp()) GTEST_SKIP() << kNoElevationOnXp;
  ExpectStart(kFolder, Token::kLimited, kExe, true);
}

TEST_F(Elevation, IsAskedAlsoWhenStartedFromTheDisc) {
  if (OnXp()) GTEST_SKIP() << kNoElevationOnXp;
  ExpectStart(kFolder, Token::kLimited, ExeOnTheDisc(), true);
}

// The folder handed over is the one the player's link leads to: the elevated instance follows
// no link.
TEST_F(Elevation, HandsOverTheFolderThePlayersLinkLeadsTo) {
  if (OnXp()) GTEST_SKIP() << kNoElevationOnXp;
  ExpectStart(ThroughThePlayersLink(), Token::kLimited, kExe, true);
}

// XP knows no elevation: there the player's start asks nothing anywhere, and lists every file.
TEST_F(Elevation, IsNeverAskedOnXp) {
  if (!OnXp()) GTEST_SKIP() << "a row as XP runs this";
  ExpectStart(kFolder, Token::kLimited, kExe, false);
  ExpectStart(kFolder, Token::kLimited, ExeOnTheDisc(), false);
  ExpectStart(ThroughThePlayersLink(), Token::kLimited, kExe, false);
}

// Beside a Brenmira.exe.local folder, whose DLLs an elevated instance would take, it asks nothing.
TEST_F(Elevation, IsNotAskedBesideALocalFolder) {
  if (OnXp()) GTEST_SKIP() << kNoElevationOnXp;
  ExpectStart(kFolder, Token::kLimited, ExeBesideALocalFolder(), false);
}

// Nor on a drive letter made of the folder with subst, which an elevated program would not have.
// Wine's S: leads to the folder, the subst to Windows once defined; both undone, or Wine would
// name the folder by that letter.
TEST_F(Elevation, IsNotAskedOnASubstDriveLetter) {
  OnHost(L"ln -s '../drive_c/Játékok/Őrült Űrhajó' ../../dosdevices/s: && : >subst", L"subst");
  ASSERT_TRUE(DefineDosDeviceW(0, L"S:", kFolder.c_str()));
  ExpectStart(L"S:\\", Token::kLimited, kExe, false);
  EXPECT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"S:", nullptr));
  OnHost(L"rm ../../dosdevices/s: && : >unsubst", L"unsubst");
}

// An administrator's pass beside what would redirect its DLLs ends at once, with no window: a
// Brenmira.exe.local folder, or a Brenmira.exe.manifest, which XP reads before the one built in.
// On XP every start of the player's is an administrator's.
TEST_F(AdministratorsPass, EndsBesideADllRedirection) {
  fs::create_directories(kFolder);
  const fs::path manifested = L"C:\\Asztal\\Brenmira.exe";
  fs::create_directories(manifested.parent_path());
  fs::copy_file(kExe, manifested);
  std::ofstream(fs::path(manifested.wstring() + L".manifest")) << "<assembly/>";
  for (const fs::path& exe : {ExeBesideALocalFolder(), manifested}) {
    Program(SystemFolder(), Token::kElevated, exe, ElevatedIn(kFolder)).ExpectEndedWell(1);
    if (OnXp()) Program(kFolder, Token::kLimited, exe).ExpectEndedWell(1);
  }
  EXPECT_FALSE(fs::exists(kFolder / L"DATA"));
}

// The folder an elevated start is given is where it installs, wherever it is started.
TEST_F(ElevatedInstance, InstallsInTheFolderItIsGiven) {
  fs::create_directories(kFolder);
  ExpectEveryFileCopied(Program(SystemFolder(), Token::kElevated, kExe, ElevatedIn(kFolder)),
                        kFolder);
}

// DATA of the installation folder made a link to another folder, as another user may leave it:
// there a file that is not the game's, and one of the name of a file the program keeps.
void LinkDataElsewhere() {
  fs::create_directories(kFolder);
  fs::create_directories(L"C:\\Máshol");
  std::ofstream(L"C:\\Máshol\\ASSAULT.TR2") << "not the game's";
  std::ofstream(L"C:\\Máshol\\Brenmira.~ln") << "theirs";
  OnHost(L"ln -s ../../Máshol '../Játékok/Őrült Űrhajó/DATA' && : >linked", L"linked");
}

// A pass with an administrator's rights goes through no link that another user may have made
// below its folder: the data files are listed, nothing is written where the link leads, and the
// videos are installed. Such a pass is the elevated instance's, "Run as administrator" (an
// elevated token, where the program takes itself for being on Windows), and on XP every start
// of an administrator's. (Wine shows a link to a file as a plain file: those to an installed or
// a temporary name cannot be made here.)
TEST_F(AdministratorsPass, RefusesAnotherUsersLink) {
  LinkDataElsewhere();
  const auto expect_link_refused = [&](const Program& program) {
    const Controls main = AwaitMain(program);
    EXPECT_EQ(Text(main.list), Report(kData));
    Files expected = Disc().Copies(kVideos);
    expected[L"DATA\\ASSAULT.TR2"] = {"not the game's"};
    expected[L"DATA\\Brenmira.~ln"] = {"theirs"};
    EXPECT_EQ(Installed(kFolder), expected);
    Close(main.window);
    Close(FindWindowW(nullptr, kProgressTitle));
    program.ExpectEndedWell();
  };
  expect_link_refused(Program(SystemFolder(), Token::kElevated, kExe, ElevatedIn(kFolder)));
  if (!Generation().empty()) expect_link_refused(Program(kFolder, Token::kElevated));
  if (OnXp()) expect_link_refused(Program(kFolder, Token::kLimited));
}

// The player's own pass follows the link, as ever. Under Wine, whose every program has an
// elevated token, a plain start is the player's; as Windows, a start with a limited token.
TEST_F(PlayersPass, FollowsALinkBelowItsFolder) {
  if (OnXp()) GTEST_SKIP() << "on XP every start of the player's is an administrator's";
  LinkDataElsewhere();
  const Token players = Generation().empty() ? Token::kElevated : Token::kLimited;
  ExpectEveryFileCopied(Program(kFolder, players), kFolder, {{L"DATA\\Brenmira.~ln", {"theirs"}}});
  EXPECT_EQ(Read(L"C:\\Máshol\\ASSAULT.TR2"), Read(Disc().drive / L"DATA\\ASSAULT.TR2"));
}

// Nor through a link above its folder: given the folder by a path through one, it takes none of
// the files installed there for installed, and lists them all.
TEST_F(ElevatedInstance, TakesNoFileThroughALinkAbove) {
  ExpectEveryFileCopied(kFolder);
  const Program above(SystemFolder(), Token::kElevated, kExe, ElevatedIn(ThroughThePlayersLink()));
  const Controls through = AwaitMain(above);
  EXPECT_EQ(Text(through.list), Report(kCatalogue));
  Close(through.window);
  Close(FindWindowW(nullptr, kProgressTitle));
  above.ExpectEndedWell();
}

// Given a folder that is not there, it lists every file, and makes nothing anywhere.
TEST_F(ElevatedInstance, MakesNothingForAFolderThatIsNotThere) {
  const Program nowhere(SystemFolder(), Token::kElevated, kExe, ElevatedIn(L"C:\\Nincs ilyen"));
  EXPECT_EQ(Text(AwaitMain(nowhere).list), Report(kCatalogue));
  EXPECT_FALSE(fs::exists(L"C:\\Nincs ilyen") || fs::exists(Beside(L"DATA")));
}

// The main window as designed at 96 DPI, and its keyboard: the list has the focus, Escape and
// Enter press nothing, Tab goes round the list and the buttons, Space presses one.
TEST_F(MainWindow, LaidOutAsDesignedAndWorkedByKeyboard) {
  Disc().Remove(kVideos);
  const Program program(kFolder);
  const Controls main = AwaitMain(program);
  const HWND progress = FindWindowW(nullptr, kProgressTitle);
  ASSERT_TRUE(Program::Shown(progress)) << "the progress window should stay beside the list";
  Shot("videos-missing");
  EXPECT_EQ(Text(main.list), Report(kVideos));
  EXPECT_EQ(Percent(), L"75%");
  // Both windows as designed at the screen's DPI: client areas and controls, in pixels.
  const std::map<int, std::vector<std::string>> designs = {
      {96,
       {"(0,0) 369x306", "(8,16) 353x203", "(16,232) 361x17", "(8,264) 161x33", "(200,264) 161x33",
        "(0,0) 376x94", "(144,64) 57x17"}},
      {144,
       {"(0,0) 554x459", "(12,24) 530x305", "(24,348) 542x26", "(12,396) 242x50",
        "(300,396) 242x50", "(0,0) 564x141", "(216,96) 86x26"}}};
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(designs.count(dpi)) << "no design for " << dpi << " DPI";
  const std::vector<std::string> placements = {Placement(main.window),
                                               Placement(main.list),
                                               Placement(main.instruction),
                                               Placement(main.retry),
                                               Placement(main.exit),
                                               Placement(progress),
                                               Placement(Child(progress, L"Static"))};
  EXPECT_EQ(placements, designs.at(dpi));
  RECT window{};
  GetWindowRect(main.window, &window);
  EXPECT_NEAR(window.left + window.right, GetSystemMetrics(SM_CXSCREEN), 1) << "not centred";
  EXPECT_NEAR(window.top + window.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "not centred";
  // Whatever the user's message font (the row's is wider than the design's), the instruction
  // reads to its end inside the client area as designed, on its menu-coloured background.
  ASSERT_NE(GetSysColor(COLOR_MENU), GetSysColor(COLOR_BTNFACE)) << "the row's menus look alike";
  RECT client{};
  GetClientRect(main.window, &client);
  const int end = InstructionEnd(main);
  std::cout << "The instruction's text ends at pixel " << end << " of a " << client.right
            << "-pixel client area at " << dpi << " DPI\n";
  EXPECT_GT(end, client.right / 2) << "too little text";
  EXPECT_LT(end, client.right) << "the text is cut";

  // A second start while this one runs brings its window to the front, the list focused as
  // before, and copies nothing.
  fs::remove(kFolder / L"DATA\\ASSAULT.TR2");
  SetForegroundWindow(progress);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == progress; }, 2));
  Program(kFolder).ExpectEndedWell();
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main.window; }, 2));
  EXPECT_TRUE(WaitUntil([&] { return program.Focus() == main.list; }, 2));
  EXPECT_FALSE(fs::exists(kFolder / L"DATA\\ASSAULT.TR2")) << "the second start copied";

  program.Key(VK_ESCAPE);
  program.Key(VK_RETURN);
  for (const HWND next : {main.retry, main.exit, main.list, main.retry, main.exit}) {
    program.Key(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return program.Focus() == next; }, 2)) << Utf8(Text(next));
  }
  EXPECT_TRUE(IsWindowVisible(main.window) && !Program::Shown(Program::Window(nullptr)))
      << "Escape or Enter did something";
  program.Key(VK_SPACE);
  const HWND box = program.Await();
  Shot("exit-warning");
  EXPECT_EQ(Seen(box),
            L"Kilépés | A telepítés nem zajlott le tökéletesen!  \r\n"
            L"A hiányzó fájlok pótlása nélkül a program nem fog hiba nélkül futni.\r\n"
            L"Megpróbálhatja újra telepíteni, vagy keresse fel a Kestovar Támogatás\r\n"
            L"valamely tagját. | OK");
  program.Key(VK_RETURN);
  program.ExpectEndedWell();  // only once both windows have closed
}

// Each retry lists only what is still missing, with the percentage in the user's own format.
// The progress window, closed by the user, comes back as new: "0%" and a 1-pixel bar. While a
// success message is up, neither window takes input, so no second pass can start.
TEST_F(Retry, EachPassListsWhatIsStillMissingUntilTheLastOneEnds) {
  wchar_t separator[8];
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L","));
  const Disc disc;
  disc.Remove(Slice(17, 32));
  const Program program(kFolder);
  const Controls main = AwaitMain(program);
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
  EXPECT_EQ(Text(main.list), Report(Slice(17, 32)));
  EXPECT_EQ(Percent(), L"53,125%");
  ExpectBar(170, "17-files");

  Close(FindWindowW(nullptr, kProgressTitle));
  fs::rename(disc.folder, disc.folder.wstring() + L".out");  // the disc taken out
  Click(main.retry);
  const HWND reopened = program.Await(kProgressTitle);
  EXPECT_EQ(Percent(), L"0%");
  EXPECT_EQ(Placement(reopened), "(0,0) 376x94");
  ExpectBar(1, "reopened");
  EXPECT_EQ(Text(main.list), Report(Slice(17, 32)));

  fs::rename(disc.folder.wstring() + L".out", disc.folder);
  disc.Add(Slice(17, 32));
  disc.Remove({L"DATA\\TITLE.TR2"});  // in neither half: success, and still missing
  Click(main.retry);
  const HWND box = program.Await();
  EXPECT_FALSE(IsWindowEnabled(main.window) || IsWindowEnabled(reopened)) << "input under the box";
  Close(box, true);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main.window); }));
  EXPECT_EQ(Text(main.list), Report({L"DATA\\TITLE.TR2"}));

  fs::remove(kFolder / L"FMV\\MS.RPL");  // so that the pass walks on to the disc
  disc.Add({L"DATA\\TITLE.TR2"});
  Click(main.retry);
  AnswerSuccess(program, "all-files");
  program.ExpectEndedWell();
  EXPECT_EQ(Installed(kFolder), disc.Copies(kCatalogue));
}

// The title bar's close button warns of nothing, and the program lives while a window is left.
// Where Windows makes it no window at all, it does not wait unseen for ever: it ends, with 1, and
// so does not keep later starts away. Where its exit warning cannot be shown, the exit button
// closes both windows all the same. A progress window that could not be made never counts as
// open: with the list shown, the program lives on.
TEST_F(Closing, TheProgramEndsWhenItsLastWindowCloses) {
  Disc().Remove(kVideos);
  const fs::path exe = kExe;
  Program(kFolder, Token::kElevated, exe, L"", "RefuseWindows").ExpectEndedWell(1);
  const Program unwarned(kFolder, Token::kElevated, exe, L"", "RefuseBoxes");
  Click(AwaitMain(unwarned).exit);
  unwarned.ExpectEndedWell();
  const Program unprogressed(kFolder, Token::kElevated, exe, L"", "FailProgressWindow");
  Close(AwaitMain(unprogressed).window);
  unprogressed.ExpectEndedWell();
  const struct {
    const char* name;
    bool progress_first, exit_button;
  } orders[] = {{"main-then-progress", false, false},
                {"progress-then-main", true, false},
                {"progress-then-exit-button", true, true}};
  for (const auto& order : orders) {
    SCOPED_TRACE(order.name);
    const Program program(kFolder.wstring() + std::to_wstring(&order - orders));
    const Controls main = AwaitMain(program);
    const HWND progress = FindWindowW(nullptr, kProgressTitle);
    Close(order.progress_first ? progress : main.window);
    Shot(order.name);
    EXPECT_TRUE(program.Running() && !Program::Shown(Program::Window(nullptr)));
    if (order.exit_button) {
      Click(main.exit);
      Close(program.Await(), true);
    } else {
      Close(order.progress_first ? main.window : progress);
    }
    program.ExpectEndedWell();
  }
}

}  // namespace
}  // namespace kestovar::testing

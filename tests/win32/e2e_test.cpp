// Brenmira.exe end to end under Wine, driven from outside as a user drives it: its windows found
// by their titles, their texts and rectangles read, buttons clicked and keys pressed as real
// input, the screen read as the X server shows it. Nothing of the program's code is used: what
// it must show is written out here. Each test runs in a prefix whose drives its row in
// tools/e2e.sh maps.
#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "tests/win32/support.h"

namespace kestovar::testing {
namespace {

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

constexpr wchar_t kFolder[] = L"C:\\Játékok\\Őrült Űrhajó";
constexpr wchar_t kMainTitle[] = L"Hiba történt";
constexpr wchar_t kProgressTitle[] = L"Fájlok másolása a CD-ről";

// The list the main window shows for these missing files.
std::wstring Report(const Paths& missing) {
  std::wstring text = L"A következő fájlok másolása nem sikerült: \r\n\r\n";
  for (const std::wstring& file : missing) text += file.substr(file.find(L'\\') + 1) + L"\r\n";
  return text;
}

// Runs a command of the host's shell to its end; its exit status, -1 when it did not end in
// time. Wine starts it without a handle to wait on: it leaves its status in a file.
int RunHostCommand(const std::wstring& command, std::string* output = nullptr) {
  static int count = 0;
  const std::wstring base = L"/tmp/kestovar-host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++count);
  std::wstring line = L"/bin/sh -c \"(" + command + L") >" + base + L".out; echo $? >" + base +
                      L".tmp; mv " + base + L".tmp " + base + L".done\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(HostPath(L"/bin/sh").c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const fs::path done = HostPath(base + L".done"), out = HostPath(base + L".out");
  if (!WaitUntil([&] { return fs::exists(done); }, 30)) return -1;
  if (output != nullptr) *output = Read(out);
  const int status = std::stoi(Read(done));
  fs::remove(done);
  fs::remove(out);
  return status;
}

// Brenmira.exe (beside this exe), started in a folder as a user starts it from the game's folder;
// terminated if a test leaves it running.
class Program {
 public:
  explicit Program(const fs::path& folder) {
    fs::create_directories(folder);
    std::wstring exe(MAX_PATH, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
    exe = exe.substr(0, exe.rfind(L'\\') + 1) + L"Brenmira.exe";
    STARTUPINFOW startup{sizeof startup};
    EXPECT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &info_))
        << "could not start Brenmira.exe: " << GetLastError();
  }
  ~Program() {
    if (Running()) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  void ExpectEndedWell() const {
    ASSERT_EQ(WaitForSingleObject(info_.hProcess, 20000), WAIT_OBJECT_0) << "still running";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    EXPECT_EQ(code, 0u);
  }
  DWORD Thread() const { return info_.dwThreadId; }

  // Its visible top-level window with this title (any, when null) and class, or null.
  HWND Window(const wchar_t* title, const wchar_t* window_class = nullptr) const {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process == info_.dwProcessId && IsWindowVisible(window) &&
          (!title || Title(window) == title) && (!window_class || ClassOf(window) == window_class))
        return window;
    }
    return nullptr;
  }
  HWND Await(const wchar_t* title, const wchar_t* window_class = nullptr) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = Window(title, window_class)) || !Running(); });
    EXPECT_TRUE(found) << "no window " << Utf8(title ? title : window_class);
    return found;
  }
  HWND Box() const { return Window(nullptr, L"#32770"); }
  HWND AwaitBox() const { return Await(nullptr, L"#32770"); }

  static std::wstring Title(HWND window) {
    wchar_t title[512] = L"";
    InternalGetWindowText(window, title, 512);  // without asking the window, which may be busy
    return title;
  }
  static std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// A window's text, asked of the window (WM_GETTEXT): it must be answering.
std::wstring Text(HWND window) {
  std::wstring text(4096, L'\0');
  DWORD_PTR length = 0;
  EXPECT_TRUE(SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                                  reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                                  &length))
      << "the window does not answer";
  text.resize(length);
  return text;
}

HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text = nullptr) {
  HWND child = nullptr;
  while ((child = FindWindowExW(parent, child, window_class, nullptr)) && text &&
         Text(child) != text) {
  }
  return child;
}

std::wstring Percent(HWND progress) { return Text(Child(progress, L"Static")); }

// "(8,16) 353x203": a rectangle in its parent's client area.
std::string Placement(HWND window, bool client = false) {
  RECT r{};
  if (client) {
    GetClientRect(window, &r);
  } else {
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  }
  std::ostringstream text;
  text << "(" << r.left << "," << r.top << ") " << r.right - r.left << "x" << r.bottom - r.top;
  return text.str();
}

bool HasFocus(DWORD thread, HWND control) {
  GUITHREADINFO info{sizeof info};
  return GetGUIThreadInfo(thread, &info) && info.hwndFocus == control;
}

// A message box as the user sees it: title, text, buttons, whether it has an icon.
std::string Seen(HWND box) {
  std::wstring seen = Program::Title(box) + L" | " + Text(GetDlgItem(box, 0xFFFF)) + L" |";
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    if (Program::ClassOf(child) == L"Button") seen += L" " + Text(child);
    if (SendMessageW(child, STM_GETICON, 0, 0) != 0) seen += L" icon";
  }
  return Utf8(seen);
}

// Wine moves the X focus late, and the program reacts to that the next time it reads its
// messages: a late activation there takes back a click in progress. Waits (bounded) until the X
// server has the focus on the foreground window and the program has read what it was told.
void Settle() {
  const HWND foreground = GetForegroundWindow();
  const std::string title = Utf8(Program::Title(foreground)) + "\n";
  std::string focused;
  WaitUntil(
      [&] {
        return RunHostCommand(L"xdotool getwindowfocus getwindowname", &focused) == 0 &&
               focused == title;
      },
      1);  // Wine does not always give the X focus to a message box
  for (int trip = 0; trip < 2; ++trip) {
    SendMessageTimeoutW(foreground, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }
}

// A left click in the middle of a button, as mouse input; a disabled window does not take it.
void Click(HWND button, bool taken = true) {
  Settle();
  RECT r{};
  GetWindowRect(button, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT input{INPUT_MOUSE};
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof input);
  const bool pushed =
      WaitUntil([&] { return (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 2);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof input);
  EXPECT_EQ(pushed, taken) << Utf8(Text(button)) << (taken ? " did not take" : " took") << " it";
}

void Key(WORD key) {
  Settle();
  INPUT input[2] = {{INPUT_KEYBOARD}, {INPUT_KEYBOARD}};
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
}

// The title bar's close button, as the window system delivers it.
void CloseByTitleBar(HWND window) {
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); })) << "did not close";
}

// A screenshot of the whole X screen, kept as NN-name.png among the row's artifacts. Windows
// waiting for input finish painting first: a message box draws its text a moment after it shows.
void Shot(const std::string& name) {
  EnumWindows(
      [](HWND window, LPARAM) {
        if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, nullptr)) {
          RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        return TRUE;
      },
      0);
  static int count = 0;
  ++count;
  const std::wstring png = Setting(L"KESTOVAR_SHOTS") + L"/" + std::to_wstring(count / 10) +
                           std::to_wstring(count % 10) + L"-" + fs::path(name).wstring() + L".png";
  EXPECT_EQ(RunHostCommand(L"import -window root '" + png + L"'"), 0) << "no screenshot";
}

// Whether the screen shows the progress bar as designed at 96 DPI, pixel by pixel in and around
// the frame: a 1-pixel outline from (23,23) to (351,53) and, inside it, nothing but the bar from
// (27,28), `length` pixels long and 20 high, filled RGB(0,0,192) with an outline in the
// window-text colour. Drawing reaches the X server a moment after the program paints: retried.
void ExpectBar(HWND progress, int length, const std::string& shot) {
  const auto inside = [](const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
  };
  const auto edge = [&](const RECT& r, int x, int y) {
    return inside(r, x, y) && (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
  };
  const RECT frame{23, 23, 351, 53}, bar{27, 28, 27 + length, 48};
  POINT origin{};
  ClientToScreen(progress, &origin);
  const HDC screen = GetDC(nullptr);
  std::string mismatch;
  WaitUntil(
      [&] {
        mismatch.clear();
        const COLORREF background = GetPixel(screen, origin.x + 2, origin.y + 2);
        const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
        for (int y = frame.top - 2; y < frame.bottom + 2 && mismatch.empty(); ++y) {
          for (int x = frame.left - 2; x < frame.right + 2 && mismatch.empty(); ++x) {
            const COLORREF expected = edge(frame, x, y) || edge(bar, x, y) ? ink
                                      : inside(bar, x, y)                  ? RGB(0, 0, 192)
                                                                           : background;
            const COLORREF seen = GetPixel(screen, origin.x + x, origin.y + y);
            if (seen != expected || background == ink) {
              std::ostringstream text;
              text << "(" << x << "," << y << ") is " << std::hex << seen << " not " << expected;
              mismatch = text.str();
            }
          }
        }
        return mismatch.empty();
      },
      5);
  ReleaseDC(nullptr, screen);
  Shot(shot);
  EXPECT_EQ(mismatch, "") << "a bar of " << length << " pixels";
}

// A file as found: its bytes, compared in full, and whether it is read-only (then the next
// install could not replace it). Printed as its size and a hash.
struct File {
  std::string bytes;
  bool read_only = false;
  bool operator==(const File&) const = default;
};
void PrintTo(const File& file, std::ostream* out) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (unsigned char c : file.bytes) hash = (hash ^ c) * 1099511628211u;
  *out << file.bytes.size() << " bytes, hash " << std::hex << hash
       << (file.read_only ? " r/o" : "");
}
File FileAt(const fs::path& path) {
  return {Read(path), (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0};
}
using Files = std::map<std::wstring, File>;

// What DATA and FMV of an installation folder hold, anything besides the game's files included.
Files Installed(const fs::path& folder) {
  Files files;
  for (const wchar_t* sub : {L"DATA", L"FMV"}) {
    if (!fs::is_directory(folder / sub)) continue;
    for (const auto& entry : fs::directory_iterator(folder / sub)) {
      files[sub + (L"\\" + entry.path().filename().wstring())] = FileAt(entry.path());
    }
  }
  return files;
}

// The game's disc in the CD-ROM drive of the row, and a whole copy of it elsewhere, from which
// files can "appear" on the disc while the program runs.
struct Disc {
  std::wstring drive = Setting(L"KESTOVAR_DISC");  // "E:\"
  fs::path folder = HostPath(Setting(L"KESTOVAR_DISC_FOLDER"));
  fs::path spare = HostPath(Setting(L"KESTOVAR_SPARE"));

  void Remove(const Paths& files) const {
    for (const std::wstring& file : files) {
      SetFileAttributesW((folder / file).c_str(), FILE_ATTRIBUTE_NORMAL);
      ASSERT_TRUE(fs::remove(folder / file)) << Utf8(file);
    }
  }
  void Add(const Paths& files) const {
    for (const std::wstring& file : files) fs::copy_file(spare / file, folder / file);
  }
  void TakeOut() const { fs::rename(folder, folder.wstring() + L".out"); }
  void PutBack() const { fs::rename(folder.wstring() + L".out", folder); }
  // These files as they must arrive: the disc's bytes, and writable.
  Files Copies(const Paths& files) const {
    Files copies;
    for (const std::wstring& file : files) copies[file] = {Read(drive + file)};
    return copies;
  }
};

struct MainWindow {
  HWND window, list, retry, exit, instruction;
};
MainWindow AwaitMain(const Program& program) {
  const HWND window = program.Await(kMainTitle);
  const MainWindow main{
      window, Child(window, L"Edit"), Child(window, L"Button", L"Újra"),
      Child(window, L"Button", L"Kilépés"),
      Child(window, L"Static",
            L"Kérem helyezze be a megfelelő lemezt, majd nyomja meg az Újra gombot.")};
  EXPECT_TRUE(main.list && main.retry && main.exit && main.instruction) << "controls missing";
  return main;
}

// The success message, read while it is up with "100%" and the full bar behind it; then OK.
void AnswerSuccess(const Program& program, const std::string& shot) {
  const HWND box = program.AwaitBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Seen(box), "Sikeres másolás! | Minden fájl sikeresen felmásolva a CD-ről! | OK");
  const HWND progress = program.Window(kProgressTitle);
  ASSERT_TRUE(progress);
  EXPECT_EQ(Percent(progress), L"100%");
  ExpectBar(progress, 320, shot);
  Click(Child(box, L"Button", L"OK"));
}

// A first pass that finds the disc: success, the end, and in DATA and FMV exactly the game's
// files as on the disc (and whatever `also` was there before).
void ExpectEveryFileCopied(const fs::path& folder, const Files& also = {}) {
  const Disc disc;
  const Program program(folder);
  AnswerSuccess(program, "success");
  program.ExpectEndedWell();
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"DATA", L"FMV"}));
  Files expected = disc.Copies(kCatalogue);
  expected.insert(also.begin(), also.end());
  EXPECT_EQ(Installed(folder), expected);
}

TEST(DiscFound, AmongEveryKindOfDrive) {
  ASSERT_EQ(GetLogicalDrives(), (1u << 26) - 1) << "the row did not map A: to Z:";
  ExpectEveryFileCopied(kFolder);
}

TEST(InstallFolder, AtADriveRoot) { ExpectEveryFileCopied(L"G:\\"); }

// A folder as long as a folder can be for a plain copy of the longest name to fit the classic
// 259-character limit: no name the program creates there may be longer, which Wine would not
// enforce. A temporary copy left by a copy that was killed is passed over.
TEST(InstallFolder, AtThePathLengthLimit) {
  std::wstring folder = L"C:\\Játékok";
  while (folder.size() < 259 - std::wstring(L"\\DATA\\EMPRTOMB.TR2").size()) {
    folder += L"\\" + std::wstring(std::min<size_t>(56, 240 - folder.size()), L'ő');
  }
  fs::create_directories(folder + L"\\DATA");
  const File leftover{"left by a copy that was killed"};
  Write(folder + L"\\DATA\\ASSAULT.~00", leftover.bytes);

  // Every name that appears in the folder, as the file system reports it.
  const HANDLE watched = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, 7, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  alignas(DWORD) static char changes[1 << 16];
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const auto watch = [&] {
    ResetEvent(overlapped.hEvent);
    ASSERT_TRUE(ReadDirectoryChangesW(watched, changes, sizeof changes, TRUE,
                                      FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped, nullptr));
  };
  watch();
  ExpectEveryFileCopied(folder, {{L"DATA\\ASSAULT.~00", leftover}});
  std::set<std::wstring> created;
  for (DWORD size = 0; WaitForSingleObject(overlapped.hEvent, 1000) == WAIT_OBJECT_0; watch()) {
    GetOverlappedResult(watched, &overlapped, &size, FALSE);
    for (char* at = changes; size != 0;) {
      const auto* change = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(at);
      if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME)
        created.emplace(change->FileName, change->FileNameLength / sizeof(wchar_t));
      if (change->NextEntryOffset == 0) break;
      at += change->NextEntryOffset;
    }
  }
  CloseHandle(overlapped.hEvent);
  CloseHandle(watched);
  for (const std::wstring& name : created) {
    if (name.find(L"MS.") != std::wstring::npos || name.find(L"EMPRTOMB.") != std::wstring::npos)
      std::printf("created: %s\\%s\n", Utf8(folder.substr(0, 12)).c_str(), Utf8(name).c_str());
    EXPECT_LE(folder.size() + 1 + name.size(), 259u) << Utf8(name);
  }
  for (const std::wstring& file : kCatalogue) EXPECT_TRUE(created.count(file)) << Utf8(file);
}

// An ordinary file named DATA where the folder should be: nothing can be copied into it, and the
// list says which files are missing; the videos arrive, and the file stays as it was. A video
// already installed and held open by another program is not replaced, and stays whole.
TEST(InstallFolder, WithAFileNamedDataAndAVideoInUse) {
  const fs::path folder = kFolder;
  fs::create_directories(folder / L"FMV");
  Write(folder / L"DATA", "not a folder");
  Write(folder / L"FMV" / L"LOGO.RPL", "an older copy");
  const HANDLE held = CreateFileW((folder / L"FMV" / L"LOGO.RPL").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  const Program program(folder);
  const MainWindow main = AwaitMain(program);
  CloseHandle(held);
  EXPECT_EQ(Text(main.list), Report(kData));
  EXPECT_EQ(Percent(program.Window(kProgressTitle)), L"100%");
  Shot("data-is-a-file");
  EXPECT_EQ(Read(folder / L"DATA"), "not a folder");
  Files expected = Disc().Copies(kVideos);
  expected[L"FMV\\LOGO.RPL"] = {"an older copy"};
  EXPECT_EQ(Installed(folder), expected);
}

// The main window as designed at 96 DPI, and the keyboard: the list has the focus, Escape closes
// nothing, Tab goes on to the buttons, Space presses one.
TEST(MainWindow, LaidOutAsDesignedAndWorkedByKeyboard) {
  Disc().Remove(kVideos);
  const Program program(kFolder);
  const MainWindow main = AwaitMain(program);
  const HWND progress = program.Window(kProgressTitle);
  ASSERT_TRUE(progress) << "the progress window should stay beside the list";
  Shot("videos-missing");
  EXPECT_EQ(Text(main.list), Report(kVideos));
  EXPECT_EQ(Percent(progress), L"75%");
  EXPECT_TRUE(HasFocus(program.Thread(), main.list));
  const HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96) << "the sizes below are for 96 DPI";
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(Placement(main.window, true), "(0,0) 369x306");
  EXPECT_EQ(Placement(main.list), "(8,16) 353x203");
  EXPECT_EQ(Placement(main.instruction), "(16,232) 361x17");
  EXPECT_EQ(Placement(main.retry), "(8,264) 161x33");
  EXPECT_EQ(Placement(main.exit), "(200,264) 161x33");
  EXPECT_EQ(Placement(progress, true), "(0,0) 376x94");
  EXPECT_EQ(Placement(Child(progress, L"Static")), "(144,64) 57x17");
  RECT window{};
  GetWindowRect(main.window, &window);
  EXPECT_NEAR(window.left + window.right, GetSystemMetrics(SM_CXSCREEN), 1) << "not centred";
  EXPECT_NEAR(window.top + window.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "not centred";

  Key(VK_ESCAPE);
  Key(VK_RETURN);
  for (const HWND next : {main.retry, main.exit, main.list, main.retry, main.exit}) {
    Key(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return HasFocus(program.Thread(), next); }, 2)) << Utf8(Text(next));
  }
  EXPECT_TRUE(IsWindowVisible(main.window) && !program.Box()) << "Escape or Enter did something";
  Key(VK_SPACE);
  const HWND box = program.AwaitBox();
  ASSERT_TRUE(box);
  Shot("exit-warning");
  EXPECT_EQ(Seen(box),
            "Kilépés | A telepítés nem zajlott le tökéletesen!  \r\n"
            "A hiányzó fájlok pótlása nélkül a program nem fog hiba nélkül futni.\r\n"
            "Megpróbálhatja újra telepíteni, vagy keresse fel a Kestovar Támogatás\r\n"
            "valamely tagját. | OK");
  Key(VK_RETURN);
  program.ExpectEndedWell();  // only once both windows have closed
}

// Each retry lists only what is still missing. The progress window, closed by the user, comes
// back as new: "0%" and a one-pixel bar until the first step.
TEST(Retry, EachPassListsWhatIsStillMissingAndTheLastOneEnds) {
  const Disc disc;
  Paths rest = Slice(16, 32);
  disc.Remove(rest);
  const fs::path folder = kFolder;
  const Program program(folder);
  const MainWindow main = AwaitMain(program);
  EXPECT_EQ(Text(main.list), Report(rest));
  EXPECT_EQ(Percent(program.Window(kProgressTitle)), L"50%");
  ExpectBar(program.Window(kProgressTitle), 160, "16-files");

  CloseByTitleBar(program.Window(kProgressTitle));
  disc.TakeOut();
  Click(main.retry);
  const HWND reopened = program.Await(kProgressTitle);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(Percent(reopened), L"0%");
  EXPECT_EQ(Placement(reopened, true), "(0,0) 376x94");
  ExpectBar(reopened, 1, "reopened");
  EXPECT_EQ(Text(main.list), Report(rest));

  disc.PutBack();
  disc.Add(Slice(16, 24));
  Click(main.retry);
  EXPECT_TRUE(WaitUntil([&] { return Text(main.list) == Report(kVideos); })) << "list not renewed";
  EXPECT_EQ(Percent(reopened), L"75%");

  disc.Add(kVideos);
  Click(main.retry);
  AnswerSuccess(program, "all-files");
  program.ExpectEndedWell();
  EXPECT_EQ(Installed(folder), disc.Copies(kCatalogue));
}

// The title bar's close button warns of nothing, and the program lives while a window is left.
TEST(Closing, TheProgramEndsWhenItsLastWindowCloses) {
  Disc().Remove(kVideos);
  const struct {
    const char* name;
    bool progress_first, exit_button;
  } orders[] = {{"main-then-progress", false, false},
                {"progress-then-main", true, false},
                {"progress-then-exit-button", true, true}};
  for (const auto& order : orders) {
    SCOPED_TRACE(order.name);
    const Program program(std::wstring(kFolder) + L" " + std::to_wstring(&order - orders));
    const MainWindow main = AwaitMain(program);
    const HWND progress = program.Window(kProgressTitle);
    CloseByTitleBar(order.progress_first ? progress : main.window);
    Shot(order.name);
    EXPECT_TRUE(program.Running() && !program.Box());
    if (order.exit_button) {
      Click(main.exit);
      Click(Child(program.AwaitBox(), L"Button", L"OK"));
    } else {
      CloseByTitleBar(order.progress_first ? main.window : progress);
    }
    program.ExpectEndedWell();
  }
}

// Retry clicked while the success message is up: the box holds the program, so no second pass
// may start, which would copy what has just appeared on the disc.
TEST(SuccessBox, HoldsOffRetryUntilAnswered) {
  const Disc disc;
  const Paths title = {L"DATA\\TITLE.TR2"};  // in neither half: success, and still missing
  const Paths video = {L"FMV\\MS.RPL"};
  disc.Remove(title);
  const fs::path folder = kFolder;
  const Program program(folder);
  AnswerSuccess(program, "first-pass");
  const MainWindow main = AwaitMain(program);
  EXPECT_EQ(Text(main.list), Report(title));

  // An installed video gone: the next pass walks on to the disc and ends in success.
  fs::remove(folder / video[0]);
  Click(main.retry);
  const HWND box = program.AwaitBox();
  ASSERT_TRUE(box);
  Shot("second-pass-success");
  // Under the box the video goes again and TITLE.TR2 appears: a pass now would copy both.
  fs::remove(folder / video[0]);
  disc.Add(title);
  EXPECT_FALSE(IsWindowEnabled(main.window)) << "the main window takes input under the box";
  RECT box_rect{}, retry_rect{}, overlap{};
  GetWindowRect(box, &box_rect);
  GetWindowRect(main.retry, &retry_rect);
  ASSERT_FALSE(IntersectRect(&overlap, &box_rect, &retry_rect)) << "the box hides Újra";
  Click(main.retry, false);
  Click(Child(box, L"Button", L"OK"));  // input is taken in order: the first click comes first
  ASSERT_TRUE(WaitUntil([&] { return !program.Box() && IsWindowEnabled(main.window); }))
      << "a box is still up: a pass started under the first one";
  EXPECT_EQ(Text(main.list), Report({title[0], video[0]}));
  EXPECT_FALSE(fs::exists(folder / title[0]) || fs::exists(folder / video[0]));

  Click(main.retry);  // the same click, with no box up, does start a pass
  AnswerSuccess(program, "third-pass");
  program.ExpectEndedWell();
  EXPECT_EQ(Installed(folder), disc.Copies(kCatalogue));
}

}  // namespace
}  // namespace kestovar::testing

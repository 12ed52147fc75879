// Brenmira.exe end to end under Wine: one scenario per test, each in a Wine prefix of its own
// whose drives tools/e2e.sh maps (see its table). What the program must show is written out
// here, not taken from its code.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "driver.h"

namespace kestovar::e2e {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::wstring>;

// The 32 files, in the order the program walks and lists them.
const Names kCatalogue = {
    L"DATA\\ASSAULT.TR2",  L"DATA\\BOAT.TR2",     L"DATA\\CATACOMB.TR2", L"DATA\\CUT1.TR2",
    L"DATA\\CUT2.TR2",     L"DATA\\CUT3.TR2",     L"DATA\\CUT4.TR2",     L"DATA\\DECK.TR2",
    L"DATA\\EMPRTOMB.TR2", L"DATA\\FLOATING.TR2", L"DATA\\HOUSE.TR2",    L"DATA\\ICECAVE.TR2",
    L"DATA\\KEEL.TR2",     L"DATA\\LIVING.TR2",   L"DATA\\MONASTRY.TR2", L"DATA\\OPERA.TR2",
    L"DATA\\PLATFORM.TR2", L"DATA\\RIG.TR2",      L"DATA\\SKIDOO.TR2",   L"DATA\\TITLE.TR2",
    L"DATA\\UNWATER.TR2",  L"DATA\\VENICE.TR2",   L"DATA\\WALL.TR2",     L"DATA\\XIAN.TR2",
    L"FMV\\ANCIENT.RPL",   L"FMV\\CRASH.RPL",     L"FMV\\END.RPL",       L"FMV\\JEEP.RPL",
    L"FMV\\LANDING.RPL",   L"FMV\\LOGO.RPL",      L"FMV\\MODERN.RPL",    L"FMV\\MS.RPL"};

Names Slice(size_t from, size_t to) {
  return Names(kCatalogue.begin() + from, kCatalogue.begin() + to);
}
const Names kData = Slice(0, 24), kVideos = Slice(24, 32);

constexpr wchar_t kFolder[] = L"C:\\Játékok\\Őrült Űrhajó";  // as Hungarian users name folders
constexpr wchar_t kMainTitle[] = L"Hiba történt";
constexpr wchar_t kProgressTitle[] = L"Fájlok másolása a CD-ről";
constexpr wchar_t kExitWarning[] =
    L"A telepítés nem zajlott le tökéletesen!  \r\n"
    L"A hiányzó fájlok pótlása nélkül a program nem fog hiba nélkül futni.\r\n"
    L"Megpróbálhatja újra telepíteni, vagy keresse fel a Kestovar Támogatás\r\n"
    L"valamely tagját.";

// The list the main window shows for these missing files.
std::wstring Report(const Names& missing) {
  std::wstring text = L"A következő fájlok másolása nem sikerült: \r\n\r\n";
  for (const std::wstring& file : missing) text += file.substr(file.find(L'\\') + 1) + L"\r\n";
  return text;
}

// A file as found: its bytes, compared in full, and whether it is read-only (then the next
// install cannot replace it). Printed as its size and a hash.
struct File {
  std::string bytes;
  bool read_only = false;
  bool operator==(const File&) const = default;
};
void PrintTo(const File& file, std::ostream* out) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (unsigned char c : file.bytes) hash = (hash ^ c) * 1099511628211u;
  *out << file.bytes.size() << " bytes, hash " << std::hex << hash << std::dec
       << (file.read_only ? ", read-only" : "");
}
File Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::string(std::istreambuf_iterator<char>(in), {}),
          (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0};
}
using Files = std::map<std::wstring, File>;

std::wstring NewFolder(const std::wstring& path) {
  fs::create_directories(path);
  return path;
}

std::set<std::wstring> Entries(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// What DATA and FMV of an installation folder hold. Anything else there (a temporary file, a
// folder) shows up too.
Files Installed(const fs::path& folder) {
  Files files;
  for (const wchar_t* sub : {L"DATA", L"FMV"}) {
    if (!fs::is_directory(folder / sub)) continue;
    for (const auto& entry : fs::directory_iterator(folder / sub)) {
      files[std::wstring(sub) + L"\\" + entry.path().filename().wstring()] =
          entry.is_directory() ? File{"(folder)"} : Read(entry.path());
    }
  }
  return files;
}

// The game's disc in the CD-ROM drive the harness named, and a full copy of it elsewhere, from
// which files can "appear" on the disc while the program runs.
struct Disc {
  std::wstring drive = Setting(L"KESTOVAR_E2E_DISC");  // "E:\"
  std::wstring folder = HostPath(Setting(L"KESTOVAR_E2E_DISC_FOLDER"));
  std::wstring spare = HostPath(Setting(L"KESTOVAR_E2E_SPARE"));

  void Remove(const Names& files) const {
    for (const std::wstring& file : files) {
      const std::wstring path = folder + L"\\" + file;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ASSERT_TRUE(DeleteFileW(path.c_str())) << Utf8(file);
    }
  }
  void Add(const Names& files) const {
    for (const std::wstring& file : files) {
      ASSERT_TRUE(CopyFileW((spare + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), TRUE))
          << Utf8(file);
    }
  }
  void TakeOut() const {
    ASSERT_TRUE(MoveFileW(folder.c_str(), (folder + L".out").c_str())) << GetLastError();
  }
  // These files as they must arrive: the disc's bytes, and writable.
  Files Copies(const Names& files) const {
    Files copies;
    for (const std::wstring& file : files) copies[file] = {Read(drive + file).bytes};
    return copies;
  }
};

std::string Describe(const RECT& r) {
  std::ostringstream text;
  text << "(" << r.left << "," << r.top << ") " << r.right - r.left << "x" << r.bottom - r.top;
  return text.str();
}
std::string Describe(SIZE size) { return Describe(RECT{0, 0, size.cx, size.cy}); }

std::wstring Percent(HWND progress) { return Text(Child(progress, L"Static")); }

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

bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
bool OnEdge(const RECT& r, int x, int y) {
  return Inside(r, x, y) && (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
}

// What the screenshot shows in and around the progress frame, compared pixel by pixel with the
// design at 96 DPI: the frame a 1-pixel outline from (23,23) to (351,53); inside it nothing but
// background and the bar, from (27,28), `length` pixels long and 20 high, outlined in the
// window-text colour and filled RGB(0,0,192). Empty when it matches.
std::string BarMismatch(const Screen& screen, HWND progress, int length) {
  if (!screen.ok()) return "no screenshot";
  const COLORREF background = screen.At(progress, 2, 2), ink = GetSysColor(COLOR_WINDOWTEXT);
  if (background == ink) return "the window is not on the screen";
  const RECT frame{23, 23, 351, 53}, bar{27, 28, 27 + length, 48};
  int wrong = 0;
  std::ostringstream first;
  for (int y = frame.top - 2; y < frame.bottom + 2; ++y) {
    for (int x = frame.left - 2; x < frame.right + 2; ++x) {
      const COLORREF expected = OnEdge(frame, x, y) || OnEdge(bar, x, y) ? ink
                                : Inside(bar, x, y)                      ? RGB(0, 0, 192)
                                                                         : background;
      const COLORREF seen = screen.At(progress, x, y);
      if (seen != expected && wrong++ == 0) {
        first << "(" << x << "," << y << ") is " << std::hex << seen << " not " << expected;
      }
    }
  }
  return wrong == 0 ? "" : std::to_string(wrong) + " pixels differ; first " + first.str();
}

// Screenshots until the screen shows the bar as designed (drawing reaches the X server a
// moment after the program paints), bounded; the last one stays as the artifact.
void ExpectBar(HWND progress, int length, const std::string& shot) {
  std::string mismatch;
  WaitUntil(
      [&] {
        const Screen screen = Screen::Take(shot);
        mismatch = BarMismatch(screen, progress, length);
        return mismatch.empty() || !screen.ok();
      },
      5);
  EXPECT_EQ(mismatch, "") << "bar of " << length << " pixels";
}

// The success message, read while it is up, with "100%" and the full bar behind it; then OK.
void AnswerSuccess(const Program& program, const std::string& shot) {
  const HWND box = program.AwaitBox();
  ASSERT_NE(box, nullptr);
  const MessageBoxSeen seen = ReadBox(box);
  EXPECT_EQ(seen.title, L"Sikeres másolás!");
  EXPECT_EQ(seen.text, L"Minden fájl sikeresen felmásolva a CD-ről!");
  EXPECT_EQ(seen.buttons, Names{L"OK"});
  EXPECT_FALSE(seen.icon);
  const HWND progress = program.Window(kProgressTitle);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(Percent(progress), L"100%");
  ExpectBar(progress, 320, shot);
  Click(Child(box, L"Button", L"OK"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "OK did not close the box";
}

void ExpectEndedWell(const Program& program) {
  ASSERT_TRUE(program.Ended()) << "the program is still running";
  EXPECT_EQ(program.ExitCode(), 0u);
}

// A first pass that finds the disc: success, the program ends, every file is there as on the
// disc, in DATA and FMV, with nothing else beside them.
void ExpectEveryFileCopied(const std::wstring& folder) {
  const Disc disc;
  Program program(NewFolder(folder));
  AnswerSuccess(program, "success");
  ExpectEndedWell(program);
  EXPECT_EQ(Entries(folder), (std::set<std::wstring>{L"DATA", L"FMV"}));
  EXPECT_EQ(Installed(folder), disc.Copies(kCatalogue));
}

TEST(DiscFound, InTheOnlyCdromDrive) { ExpectEveryFileCopied(kFolder); }
TEST(DiscFound, InTheSecondCdromDriveNotTheThird) { ExpectEveryFileCopied(kFolder); }
TEST(DiscFound, BehindAnEmptyCdromDrive) { ExpectEveryFileCopied(kFolder); }
TEST(DiscFound, InTheLastOf26Drives) {
  ASSERT_EQ(GetLogicalDrives(), (1u << 26) - 1) << "the harness did not map A: to Z:";
  ExpectEveryFileCopied(kFolder);
}

TEST(InstallFolder, AtADriveRoot) { ExpectEveryFileCopied(L"G:\\"); }
TEST(InstallFolder, LongerThan200Characters) {
  std::wstring folder = L"C:\\Játékok";
  while (folder.size() <= 200) folder += L"\\Hosszú " + std::to_wstring(folder.size() / 10);
  ExpectEveryFileCopied(folder);
}

TEST(Copy, EverythingInstalledBeforeEndsWithSuccessAndCopiesNothing) {
  const fs::path folder = NewFolder(kFolder);
  Files before;
  for (const std::wstring& file : kCatalogue) {
    fs::create_directories((folder / file).parent_path());
    std::ofstream(folder / file, std::ios::binary) << (before[file].bytes = "installed before");
  }
  Program program(folder);
  AnswerSuccess(program, "already-installed");
  ExpectEndedWell(program);
  EXPECT_EQ(Installed(folder), before);
}

TEST(Copy, WithoutACdromDriveNothingIsCopiedAndEverythingListed) {
  const std::wstring folder = NewFolder(kFolder);
  Program program(folder);
  const MainWindow main = AwaitMain(program);
  Screen::Take("everything-missing");
  EXPECT_EQ(Text(main.list), Report(kCatalogue));
  EXPECT_EQ(Percent(program.Window(kProgressTitle)), L"0%");
  EXPECT_EQ(Entries(folder), (std::set<std::wstring>{L"DATA", L"FMV"}));
  EXPECT_TRUE(Installed(folder).empty());
}

TEST(Report, DiscWithoutVideosListsThemInWindowsLaidOutAsDesigned) {
  Disc().Remove(kVideos);
  Program program(NewFolder(kFolder));
  const MainWindow main = AwaitMain(program);
  const HWND progress = program.Window(kProgressTitle);
  ASSERT_NE(progress, nullptr) << "the progress window should stay beside the list";
  Screen::Take("videos-missing");
  EXPECT_EQ(Text(main.list), Report(kVideos));
  EXPECT_EQ(Percent(progress), L"75%");
  EXPECT_TRUE(HasFocus(program.Thread(), main.list));

  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96) << "the sizes below are for 96 DPI";
  ReleaseDC(nullptr, screen);
  const struct {
    const char* what;
    std::string seen, designed;
  } layout[] = {
      {"main window client", Describe(ClientSize(main.window)), "(0,0) 369x306"},
      {"list", Describe(Placement(main.list)), "(8,16) 353x203"},
      {"instruction", Describe(Placement(main.instruction)), "(16,232) 361x17"},
      {"retry", Describe(Placement(main.retry)), "(8,264) 161x33"},
      {"exit", Describe(Placement(main.exit)), "(200,264) 161x33"},
      {"progress window client", Describe(ClientSize(progress)), "(0,0) 376x94"},
      {"percentage", Describe(Placement(Child(progress, L"Static"))), "(144,64) 57x17"},
  };
  for (const auto& item : layout) EXPECT_EQ(item.seen, item.designed) << item.what;

  RECT window{};
  GetWindowRect(main.window, &window);
  EXPECT_NEAR(window.left + window.right, GetSystemMetrics(SM_CXSCREEN), 1) << "not centred";
  EXPECT_NEAR(window.top + window.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "not centred";
}

TEST(Retry, EachPassListsWhatIsStillMissingAndTheLastOneEnds) {
  const Disc disc;
  const Names data_rest = Slice(16, 24);
  Names rest = data_rest;
  rest.insert(rest.end(), kVideos.begin(), kVideos.end());
  disc.Remove(rest);
  const std::wstring folder = NewFolder(kFolder);
  Program program(folder);
  const MainWindow main = AwaitMain(program);
  const HWND progress = program.Window(kProgressTitle);
  EXPECT_EQ(Text(main.list), Report(rest));
  EXPECT_EQ(Percent(progress), L"50%");
  ExpectBar(progress, 160, "16-files");

  disc.Add(data_rest);
  Click(main.retry);
  EXPECT_TRUE(WaitUntil([&] { return Text(main.list) == Report(kVideos); })) << "list not renewed";
  EXPECT_EQ(Percent(progress), L"75%");
  Screen::Take("24-files");

  disc.Add(kVideos);
  Click(main.retry);
  AnswerSuccess(program, "all-files");
  ExpectEndedWell(program);
  EXPECT_EQ(Installed(folder), disc.Copies(kCatalogue));
}

TEST(ProgressWindow, ClosedByTheUserAndReopenedByRetryAsNew) {
  const Disc disc;
  disc.Remove(kVideos);
  Program program(NewFolder(kFolder));
  const MainWindow main = AwaitMain(program);
  const HWND progress = program.Window(kProgressTitle);
  CloseByTitleBar(progress);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(progress); }));
  EXPECT_TRUE(IsWindowVisible(main.window));

  disc.TakeOut();  // this pass advances nothing: the window keeps what its new start shows
  Click(main.retry);
  const HWND reopened = program.Await(kProgressTitle);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(Percent(reopened), L"0%");  // answered once the pass is over
  EXPECT_EQ(Describe(ClientSize(reopened)), "(0,0) 376x94");
  ExpectBar(reopened, 1, "reopened");
  EXPECT_EQ(Text(main.list), Report(kVideos));
}

TEST(Closing, TheProgramEndsWhenItsLastWindowCloses) {
  Disc().Remove(kVideos);
  const struct {
    const char* name;
    bool progress_first, exit_button;
  } orders[] = {
      {"main-then-progress", false, false},
      {"progress-then-main", true, false},
      {"progress-then-exit-button", true, true},
  };
  for (const auto& order : orders) {
    SCOPED_TRACE(order.name);
    Program program(NewFolder(std::wstring(kFolder) + L" " + std::to_wstring(&order - orders)));
    const MainWindow main = AwaitMain(program);
    const HWND progress = program.Window(kProgressTitle);
    const HWND first = order.progress_first ? progress : main.window;
    const HWND second = order.progress_first ? main.window : progress;
    CloseByTitleBar(first);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(first); })) << "did not close";
    Screen::Take(std::string(order.name) + "-one-left");
    EXPECT_EQ(program.Box(), nullptr) << "the title bar's close button warns of nothing";
    EXPECT_TRUE(program.Running()) << "ended with a window still open";
    EXPECT_TRUE(IsWindowVisible(second));
    EXPECT_NE(Text(order.progress_first ? main.list : Child(progress, L"Static")), L"");
    if (order.exit_button) {
      Click(main.exit);
      const HWND box = program.AwaitBox();
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(ReadBox(box).text, kExitWarning);
      Click(Child(box, L"Button", L"OK"));
    } else {
      CloseByTitleBar(second);
    }
    ExpectEndedWell(program);
  }
}

// Retry is clicked while a message box is up: the box holds the program, so no second pass
// may start. A pass would copy what has just appeared on the disc; nothing of it may arrive.
void ExpectRetryHeldOff(const MainWindow& main, HWND box, const Disc& disc, const Names& appear) {
  EXPECT_FALSE(IsWindowEnabled(main.window)) << "the main window takes input under the box";
  RECT box_rect{}, retry_rect{}, overlap{};
  GetWindowRect(box, &box_rect);
  GetWindowRect(main.retry, &retry_rect);
  ASSERT_FALSE(IntersectRect(&overlap, &box_rect, &retry_rect)) << "the box hides Újra";
  disc.Add(appear);
  Click(main.retry, false);
  Click(Child(box, L"Button", L"OK"));  // input is taken in order: the first click comes first
}

TEST(ExitButton, WarnsThenClosesBothWindowsAndEndsWithRetryHeldOff) {
  const Disc disc;
  disc.Remove(kVideos);
  const std::wstring folder = NewFolder(kFolder);
  Program program(folder);
  const MainWindow main = AwaitMain(program);
  Click(main.exit);
  const HWND box = program.AwaitBox();
  ASSERT_NE(box, nullptr);
  Screen::Take("exit-warning");
  const MessageBoxSeen seen = ReadBox(box);
  EXPECT_EQ(seen.title, L"Kilépés");
  EXPECT_EQ(seen.text, kExitWarning);
  EXPECT_EQ(seen.buttons, Names{L"OK"});
  EXPECT_FALSE(seen.icon);
  ExpectRetryHeldOff(main, box, disc, kVideos);
  ExpectEndedWell(program);  // ends only if both windows closed
  EXPECT_EQ(Installed(folder), disc.Copies(kData));
}

TEST(SuccessBox, HoldsOffRetryUntilAnswered) {
  const Disc disc;
  const Names title = {L"DATA\\TITLE.TR2"};  // in neither half: success, and still missing
  const Names video = {L"FMV\\MS.RPL"};
  disc.Remove(title);
  const fs::path folder = NewFolder(kFolder);
  Program program(folder);
  AnswerSuccess(program, "first-pass");
  const MainWindow main = AwaitMain(program);
  EXPECT_EQ(Text(main.list), Report(title));

  // An installed video gone: the next pass walks on to the disc and ends in success.
  fs::remove(folder / video[0]);
  Click(main.retry);
  const HWND box = program.AwaitBox();
  ASSERT_NE(box, nullptr);
  Screen::Take("second-pass-success");
  // Under the box the video goes again and TITLE.TR2 appears: a pass now would copy both.
  fs::remove(folder / video[0]);
  ExpectRetryHeldOff(main, box, disc, title);
  ASSERT_TRUE(WaitUntil([&] { return !program.Box() && IsWindowEnabled(main.window); }))
      << "a box is still up: a pass started under the first one";
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(Text(main.list), Report({title[0], video[0]}));
  EXPECT_FALSE(fs::exists(folder / title[0]) || fs::exists(folder / video[0]))
      << "a pass ran under the box";

  Click(main.retry);  // the same click, with no box up, does start a pass
  AnswerSuccess(program, "third-pass");
  ExpectEndedWell(program);
  EXPECT_EQ(Installed(folder), disc.Copies(kCatalogue));
}

}  // namespace
}  // namespace kestovar::e2e

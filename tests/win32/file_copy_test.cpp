// The file copy: creates or replaces the installed file, leaves it writable, and when it fails
// leaves the installed file exactly as it was and no part of a file beside it.
#include <functional>

#include "tests/win32/test_support.h"

namespace kestovar::testing {
namespace {

using FileCopy = Scratch;

TEST_F(FileCopy, CreatesOrWhollyReplacesTheDestination) {
  Write(folder / L"disc.TR2", "from the disc");
  services.FileCopy(At(L"disc.TR2"), At(L"new.TR2"));
  EXPECT_EQ(Read(folder / L"new.TR2"), "from the disc");

  Write(folder / L"old.TR2", "an older and longer installed copy");
  services.FileCopy(At(L"disc.TR2"), At(L"old.TR2"));
  EXPECT_EQ(Read(folder / L"old.TR2"), "from the disc");

  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"disc.TR2", L"new.TR2", L"old.TR2"}));
}

TEST_F(FileCopy, CopyOfAReadOnlyDiscFileCanBeReplacedByTheNextPass) {
  Write(folder / L"disc.TR2", "first disc", FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(GetFileAttributesW((folder / L"disc.TR2").c_str()) & FILE_ATTRIBUTE_READONLY);
  services.FileCopy(At(L"disc.TR2"), At(L"installed.TR2"));
  EXPECT_FALSE(GetFileAttributesW((folder / L"installed.TR2").c_str()) & FILE_ATTRIBUTE_READONLY);

  Write(folder / L"other.TR2", "second disc", FILE_ATTRIBUTE_READONLY);
  services.FileCopy(At(L"other.TR2"), At(L"installed.TR2"));
  EXPECT_EQ(Read(folder / L"installed.TR2"), "second disc");
}

// Holds a file open with the given sharing while a copy runs.
struct OpenFile {
  OpenFile(const fs::path& file, DWORD sharing)
      : handle(CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OpenFile() { CloseHandle(handle); }
  HANDLE handle;
};

TEST_F(FileCopy, FailureLeavesTheOldFileAndNoPartOfANewOne) {
  const struct {
    const char* what;
    const wchar_t* source;
    const wchar_t* destination;
    std::function<std::unique_ptr<OpenFile>(const fs::path&)> meanwhile;
    int number;
  } cases[] = {
      {"source missing", L"ABSENT.TR2", L"DATA\\installed.TR2", nullptr, 53},
      {"source folder missing", L"NODISC\\X.TR2", L"DATA\\installed.TR2", nullptr, 76},
      {"destination folder missing", L"disc.TR2", L"FMV\\installed.TR2", nullptr, 76},
      {"source in use", L"disc.TR2", L"DATA\\installed.TR2",
       [](const fs::path& f) { return std::make_unique<OpenFile>(f / L"disc.TR2", 0); }, 70},
      // The whole file is copied; replacing the installed one fails at the very end.
      {"destination in use", L"disc.TR2", L"DATA\\installed.TR2",
       [](const fs::path& f) {
         return std::make_unique<OpenFile>(f / L"DATA" / L"installed.TR2", FILE_SHARE_READ);
       },
       70},
      {"destination is a folder", L"disc.TR2", L"DATA", nullptr, 70},
  };
  Write(folder / L"disc.TR2", std::string(300000, 'n'));
  fs::create_directories(folder / L"DATA");
  Write(folder / L"DATA" / L"installed.TR2", "old");
  const std::set<std::wstring> before = Names(folder / L"DATA");

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto held = c.meanwhile ? c.meanwhile(folder) : nullptr;
    EXPECT_EQ(FailureOf([&] { services.FileCopy(At(c.source), At(c.destination)); }), c.number);
    EXPECT_EQ(Read(folder / L"DATA" / L"installed.TR2"), "old");
    EXPECT_EQ(Names(folder / L"DATA"), before);
    EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"DATA", L"disc.TR2"}));
  }
}

// A write that fails half-way, for real: the harness runs this under a file size limit and has
// put a disc file bigger than the limit on the disc drive.
TEST_F(FileCopy, UnderFileSizeLimitWriteFailingHalfWayLeavesTheOldFile) {
  const Text big = ToText(Harness(L"KESTOVAR_TEST_BIG_DISC_FILE"));
  ASSERT_FALSE(big.empty());
  Write(folder / L"installed.RPL", "old");
  const int number = FailureOf([&] { services.FileCopy(big, At(L"installed.RPL")); });
  EXPECT_TRUE(number == 57 || number == 61) << number;  // a write fault or a full disk
  EXPECT_EQ(Read(folder / L"installed.RPL"), "old");

  EXPECT_NE(FailureOf([&] { services.FileCopy(big, At(L"absent.RPL")); }), 0);
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"installed.RPL"}));
}

// The copy's progress routine, called directly: Wine's own copy never calls it.
std::set<UINT> seen_by_window;

LRESULT CALLBACK RecordingWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  seen_by_window.insert(message);
  return DefWindowProcW(window, message, w, l);
}

DWORD WINAPI CallFromAnotherThread(LPVOID window) {
  return SendNotifyMessageW(static_cast<HWND>(window), WM_USER, 0, 0);
}

TEST(CopyProgress, AnswersWaitingCallsButLeavesInputQueued) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = RecordingWindow;
  window_class.lpszClassName = L"KestovarCopyProgressTest";
  RegisterClassW(&window_class);
  const HWND window = CreateWindowW(window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  // That call waits until this thread looks at its queue.
  const HANDLE caller = CreateThread(nullptr, 0, CallFromAnotherThread, window, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(caller, 5000), WAIT_OBJECT_0);
  CloseHandle(caller);
  PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);

  const LARGE_INTEGER size{};
  EXPECT_EQ(KeepAliveDuringCopy(size, size, size, size, 1, CALLBACK_CHUNK_FINISHED, nullptr,
                                nullptr, nullptr),
            static_cast<DWORD>(PROGRESS_CONTINUE));
  EXPECT_TRUE(seen_by_window.count(WM_USER));
  EXPECT_FALSE(seen_by_window.count(WM_KEYDOWN));
  MSG queued;
  EXPECT_TRUE(PeekMessageW(&queued, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  DestroyWindow(window);
}

}  // namespace
}  // namespace kestovar::testing

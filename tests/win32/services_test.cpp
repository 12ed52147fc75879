// The platform services on a real file system, Wine's, where the whole run is under a file size
// limit (tools/e2e.sh). What the end-to-end tests show of them is not shown again here.
#include "platform/resumption.h"
#include "platform/win32/win32_services.h"
#include "tests/win32/support.h"

namespace kestovar::testing {
namespace {

Text T(const std::wstring& text) { return Text(text.begin(), text.end()); }

template <class Call>
int FailureOf(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.number;
  }
  return 0;
}

class Services : public ::testing::Test {
 protected:
  Services() { fs::create_directories(folder); }
  ~Services() override {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only ones too
    }
    fs::remove_all(folder);
  }
  // A path in the folder; a host path ("\\?\unix\...") as it is.
  Text At(const std::wstring& path) const {
    return T(path.starts_with(L"\\\\") ? path : (folder / path).wstring());
  }

  const fs::path folder = fs::temp_directory_path() / L"kestovar services";
  Win32Services services;
};

// The engine tells only 52 apart, a drive it cannot read, whose files get no progress step:
// what Windows says of a CD-ROM drive without a disc, and Wine never does.
TEST_F(Services, ErrorNumbersKeep52ForDrivesThatCannotBeReadAndAreNever0) {
  for (DWORD error : {ERROR_NOT_READY, ERROR_NO_MEDIA_IN_DRIVE, ERROR_UNRECOGNIZED_MEDIA,
                      ERROR_INVALID_DRIVE, ERROR_DEV_NOT_EXIST}) {
    EXPECT_EQ(ErrorNumber(error), 52) << error;
  }
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                      ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_CRC, ERROR_DIRECTORY}) {
    EXPECT_NE(ErrorNumber(error), 52) << error;
  }
  for (DWORD error = 0; error < 20000; ++error) ASSERT_NE(ErrorNumber(error), 0) << error;
}

TEST_F(Services, ListingAnswersTheFirstEntryThatMatchesOrNothing) {
  Write(folder / L"ASSAULT.TR2", "a");
  Write(folder / L"READONLY.TR2", "r", FILE_ATTRIBUTE_READONLY);
  Write(folder / L".HIDDEN.TR2", "h", FILE_ATTRIBUTE_HIDDEN);  // hidden under Wine by its dot too
  Write(folder / L"SYSTEM.TR2", "s", FILE_ATTRIBUTE_SYSTEM);
  Write(folder / L"DATA", "an ordinary file where a folder should be");
  fs::create_directories(folder / L"Árvíztűrő" / L"SUB");
  fs::create_directories(folder / L"MIXED" / L"A.TR2");
  Write(folder / L"MIXED" / L"B.TR2", "b", FILE_ATTRIBUTE_HIDDEN);
  Write(folder / L"MIXED" / L"C.TR2", "c");
  const struct {
    const wchar_t* path;
    int attributes;
    const wchar_t* found;
  } cases[] = {
      {L"assault.tr2", kOrdinaryFiles, L"ASSAULT.TR2"},    // the name as stored
      {L"READONLY.TR2", kOrdinaryFiles, L"READONLY.TR2"},  // as every file on a disc
      {L"ABSENT.TR2", kWithFolders, L""},
      {L"ABSENT\\ASSAULT.TR2", kWithFolders, L""},  // a missing folder is no failure,
      {L"DATA\\ASSAULT.TR2", kWithFolders, L""},    // nor a file where the folder should be
      {L"Árvíztűrő", kOrdinaryFiles, L""},
      {L"Árvíztűrő", kWithFolders, L"Árvíztűrő"},
      {L"Árvíztűrő\\", kWithFolders, L"SUB"},  // a folder with its separator is listed
      {L".HIDDEN.TR2", kWithFolders, L""},
      {L"SYSTEM.TR2", kWithFolders, L""},
      {L"MIXED\\*", kOrdinaryFiles, L"C.TR2"},  // passes over what does not match
  };
  for (const auto& c : cases) {
    EXPECT_EQ(services.Dir(At(c.path), c.attributes), T(c.found)) << Utf8(c.path);
  }
  // A name the file system rejects fails, like a drive without a disc.
  EXPECT_EQ(FailureOf([&] { services.Dir(At(L"A*B\\C.TR2"), kWithFolders); }), 52);
}

// The installed file is replaced whole or not at all: whatever fails, the old file stays and
// nothing is left beside it. A temporary file left by a copy that was killed is not touched.
TEST_F(Services, CopyReplacesTheInstalledFileWholeOrNotAtAll) {
  const std::wstring disc_file = L"disc.TR2", big = HostPath(Setting(L"KESTOVAR_BIG"));
  Write(folder / disc_file, std::string(300000, 'd'), FILE_ATTRIBUTE_READONLY);  // as on a disc
  fs::create_directories(folder / L"DATA");
  Write(folder / L"DATA" / L"OLD.TR2", "old");
  Write(folder / L"DATA" / L"OLD.~00", "left by a copy that was killed");
  Write(folder / L"FILE", "");
  const std::set<std::wstring> before = Names(folder / L"DATA");
  const struct {
    const char* what;
    std::wstring source, destination, held;
    DWORD sharing = 0;
  } failures[] = {
      {"source missing", L"ABSENT.TR2", L"DATA\\OLD.TR2", L""},
      {"source in use", disc_file, L"DATA\\OLD.TR2", disc_file},
      {"installed file in use", disc_file, L"DATA\\OLD.TR2", L"DATA\\OLD.TR2", FILE_SHARE_READ},
      {"write failing half-way", big, L"DATA\\OLD.TR2", L""},  // past the file size limit
      {"destination a folder", disc_file, L"DATA", L""},
      {"destination folder missing", disc_file, L"FMV\\OLD.TR2", L""},
      {"destination folder a file", disc_file, L"FILE\\OLD.TR2", L""},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.what);
    const HANDLE held = f.held.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileW((folder / f.held).c_str(), GENERIC_READ,
                                                     f.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    const int number = FailureOf([&] { services.FileCopy(At(f.source), At(f.destination)); });
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_TRUE(number != 0 && number != 52) << number;
    EXPECT_EQ(Read(folder / L"DATA" / L"OLD.TR2"), "old");
    EXPECT_EQ(Names(folder / L"DATA"), before);
    EXPECT_EQ(Names(folder), (std::set<std::wstring>{disc_file, L"DATA", L"FILE"}));
  }
  services.FileCopy(At(disc_file), At(L"DATA\\OLD.TR2"));
  EXPECT_EQ(Read(folder / L"DATA" / L"OLD.TR2"), Read(folder / disc_file));
  EXPECT_EQ(Names(folder / L"DATA"), before);
  EXPECT_EQ(Read(folder / L"DATA" / L"OLD.~00"), "left by a copy that was killed");
}

// Wine's copy never calls the progress routine; Windows does, all through a slow disc.
std::set<UINT> seen_by_window;
LRESULT CALLBACK RecordingWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  seen_by_window.insert(message);
  return DefWindowProcW(window, message, w, l);
}
DWORD WINAPI CallFromAnotherThread(LPVOID window) {
  return SendNotifyMessageW(static_cast<HWND>(window), WM_USER, 0, 0);
}

TEST_F(Services, CopyProgressAnswersWaitingCallsButLeavesInputQueued) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = RecordingWindow;
  window_class.lpszClassName = L"KestovarRecordingWindow";
  RegisterClassW(&window_class);
  const HWND window = CreateWindowW(window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, nullptr, nullptr);
  // The call from the other thread waits until this one looks at its queue.
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

TEST_F(Services, DecimalSeparatorIsTheUsers) {
  wchar_t saved[8];
  ASSERT_NE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, 8), 0);
  for (const wchar_t* separator : {L",", L"."}) {
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator));
    EXPECT_EQ(services.DecimalSeparator(), T(separator));
  }
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved);
}

// The one box the end-to-end tests cannot bring up: "No Drives were found!" needs a machine
// without C:. Without a title of its own a box carries the program's; style 16 its icon.
struct SeenBox {
  std::wstring title;
  bool icon = false;
};
DWORD WINAPI AnswerTheBox(LPVOID seen_box) {
  auto& seen = *static_cast<SeenBox*>(seen_box);
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = FindWindowW(L"#32770", nullptr)) != nullptr; })) return 1;
  wchar_t title[64] = L"";
  GetWindowTextW(box, title, 64);
  seen.title = title;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    seen.icon |= SendMessageW(child, STM_GETICON, 0, 0) != 0;
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

TEST_F(Services, BoxWithoutTitleCarriesTheProgramsAndItsIcon) {
  SeenBox seen;
  const HANDLE reader = CreateThread(nullptr, 0, AnswerTheBox, &seen, 0, nullptr);
  EXPECT_EQ(services.ShowMessage(u"No Drives were found!", kStyleCritical, std::nullopt), IDOK);
  ASSERT_EQ(WaitForSingleObject(reader, 15000), WAIT_OBJECT_0);
  CloseHandle(reader);
  EXPECT_EQ(seen.title, L"Kestovar");
  EXPECT_TRUE(seen.icon);
}

}  // namespace
}  // namespace kestovar::testing

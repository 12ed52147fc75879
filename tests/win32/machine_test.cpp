// The machine as the harness mapped it (drives, a disc, an empty CD-ROM drive), the current
// directory, the user's decimal separator and the message boxes.
#include <sstream>
#include <vector>

#include "engine/copy_engine.h"
#include "engine/probes.h"
#include "engine/texts.h"
#include "tests/win32/test_support.h"

namespace kestovar::testing {
namespace {

// KESTOVAR_TEST_DRIVES, e.g. "C:3 D:5 E:5": the letters mapped, in order, and their types.
std::vector<std::pair<char, UINT>> MappedDrives() {
  std::vector<std::pair<char, UINT>> drives;
  std::wistringstream list(Harness(L"KESTOVAR_TEST_DRIVES"));
  wchar_t letter, colon;
  UINT type;
  while (list >> letter >> colon >> type) drives.emplace_back(static_cast<char>(letter), type);
  return drives;
}

TEST(Drives, ListAndTypesAreExactlyTheMappedDrives) {
  Win32Services services;
  const auto drives = MappedDrives();
  ASSERT_FALSE(drives.empty());
  Text expected;
  for (const auto& [letter, type] : drives) expected += Text{char16_t(letter), u':', u'\\', u'\0'};
  expected += u'\0';
  EXPECT_EQ(GetDriveStrings(services), expected);
  for (const auto& [letter, type] : drives) {
    const char root[] = {letter, ':', '\\', '\0'};
    EXPECT_EQ(services.GetDriveTypeA(root), type) << root;
  }
}

using Disc = Scratch;

TEST_F(Disc, FilesOnTheDiscAreFoundAndInstalledWritable) {
  const std::wstring file = Harness(L"KESTOVAR_TEST_DISC_FILE");  // "D:\DATA\TITLE.TR2"
  const std::size_t separator = file.rfind(L'\\');
  ASSERT_NE(separator, std::wstring::npos);
  EXPECT_EQ(services.Dir(ToText(file), kOrdinaryFiles), ToText(file.substr(separator + 1)));
  EXPECT_EQ(DirectoryExists(services, ToText(file.substr(0, separator))), kTrue);

  services.FileCopy(ToText(file), At(L"installed.TR2"));
  EXPECT_FALSE(GetFileAttributesW((folder / L"installed.TR2").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(Disc, DriveWithoutDiscAnswersNothingAndCopiesNothing) {
  const std::wstring drive = Harness(L"KESTOVAR_TEST_NO_DISC") + L":\\";
  // Windows says "not ready" (52); Wine says "path not found" (nothing there). Either way
  // no name comes back and no other failure.
  for (const wchar_t* path : {L"DATA\\TITLE.TR2", L"DATA", L""}) {
    try {
      EXPECT_EQ(services.Dir(ToText(drive + path), kWithFolders), u"") << Utf8(path);
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, 52) << Utf8(path);
    }
  }
  Write(folder / L"installed.TR2", "old");
  EXPECT_NE(FailureOf([&] {
              services.FileCopy(ToText(drive + L"DATA\\TITLE.TR2"), At(L"installed.TR2"));
            }),
            0);
  EXPECT_EQ(Read(folder / L"installed.TR2"), "old");
  EXPECT_EQ(Names(folder), std::set<std::wstring>{L"installed.TR2"});
}

using CurrentDirectory = Scratch;

TEST_F(CurrentDirectory, ReadsBackExactlyAsTheSystemWritesIt) {
  wchar_t saved[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  const fs::path directories[] = {
      L"C:\\",  // a root keeps its backslash
      folder / L"Játék Telepítés",
      folder / (L"Őrző " + std::wstring(150, L'ű')),  // longer than any small fixed buffer
  };
  for (const fs::path& directory : directories) {
    fs::create_directories(directory);
    ASSERT_TRUE(SetCurrentDirectoryW(directory.c_str())) << Utf8(directory.wstring());
    EXPECT_EQ(services.CurrentDirectory(), ToText(directory));
  }
  SetCurrentDirectoryW(saved);
}

TEST(DecimalSeparator, PercentagesFollowTheUsersSetting) {
  Win32Services services;
  wchar_t saved[8];
  ASSERT_NE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, 8), 0);
  for (const auto& [separator, percentage] : {std::pair{L",", u"3,125"}, {L".", u"3.125"}}) {
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator));
    EXPECT_EQ(Percentage(1, services.DecimalSeparator()), percentage);
  }
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved);
}

// What another thread saw of a message box before it pressed OK.
struct SeenBox {
  HWND program_window = nullptr;
  bool found = false;
  std::wstring title;
  std::set<std::wstring> texts;
  bool icon = false;
  bool program_window_enabled = true;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM data) {
  auto& seen = *reinterpret_cast<SeenBox*>(data);
  wchar_t text[512] = L"";
  GetWindowTextW(child, text, 512);
  if (*text) seen.texts.insert(text);
  if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0) seen.icon = true;
  return TRUE;
}

DWORD WINAPI ReadAndAnswerTheBox(LPVOID data) {
  auto& seen = *static_cast<SeenBox*>(data);
  for (int waited = 0; waited < 10000; waited += 20, Sleep(20)) {
    const HWND box = FindWindowW(L"#32770", nullptr);
    if (box == nullptr || !IsWindowVisible(box)) continue;
    seen.found = true;
    wchar_t title[256] = L"";
    GetWindowTextW(box, title, 256);
    seen.title = title;
    EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&seen));
    seen.program_window_enabled = IsWindowEnabled(seen.program_window);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  return 1;
}

TEST(MessageBoxes, ShowsTextTitleAndIconAndHoldsTheProgramUntilAnswered) {
  Win32Services services;
  const HWND program_window = CreateWindowW(L"STATIC", L"program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                            10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(program_window, nullptr);
  const struct {
    const char16_t* text;
    int style;
    std::optional<Text> title;
    const wchar_t* shown_title;
    bool icon;
  } cases[] = {
      {texts::kSuccess, kStyleOk, Text(texts::kSuccessTitle), L"Sikeres másolás!", false},
      {texts::kNoDrives, kStyleCritical, std::nullopt, L"Kestovar", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.shown_title));
    SeenBox seen;
    seen.program_window = program_window;
    const HANDLE reader = CreateThread(nullptr, 0, ReadAndAnswerTheBox, &seen, 0, nullptr);
    EXPECT_EQ(services.ShowMessage(c.text, c.style, c.title), IDOK);
    ASSERT_EQ(WaitForSingleObject(reader, 10000), WAIT_OBJECT_0);
    CloseHandle(reader);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, c.shown_title);
    EXPECT_TRUE(seen.texts.count(
        std::wstring(c.text, c.text + std::char_traits<char16_t>::length(c.text))));
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_FALSE(seen.program_window_enabled) << "the program's window took input meanwhile";
    EXPECT_TRUE(IsWindowEnabled(program_window));
  }
  DestroyWindow(program_window);
}

}  // namespace
}  // namespace kestovar::testing

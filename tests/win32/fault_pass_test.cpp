// Whole passes over the real services, on the machine the harness mapped (a fixed disk, a disc
// in D: holding DATA\TITLE.TR2, an empty CD-ROM drive E:), when the installed file is in use and
// cannot be replaced: the pass goes on to its report, the old file stays whole, and nothing is
// left beside it.
#include "engine/copy_engine.h"
#include "engine/texts.h"
#include "tests/program_end.h"
#include "tests/win32/test_support.h"

namespace kestovar::testing {
namespace {

// The real services, but message boxes are recorded rather than waiting for a user, and the
// end of the program is seen rather than happening.
class Unattended : public Win32Services {
 public:
  int ShowMessage(const Text& text, int, const std::optional<Text>&) override {
    boxes.push_back(text);
    return IDOK;
  }
  [[noreturn]] void End() override { throw ProgramEnded{}; }
  std::vector<Text> boxes;
};

struct LastPercentage : ProgressDisplay {
  void Show() override {}
  void Repaint() override {}
  void SetPercentText(const Text& new_text) override { text = new_text; }
  void SetBarWidth(float) override {}
  Text text;
};

struct ListText : MissingList {
  void SetText(const Text& new_text) override { text = new_text; }
  Text text;
};

class InstalledFileNotReplaceable : public Scratch {
 protected:
  void SetUp() override {
    Scratch::SetUp();
    ASSERT_EQ(Harness(L"KESTOVAR_TEST_DISC_FILE"), L"D:\\DATA\\TITLE.TR2");
    fs::create_directories(folder / L"DATA");
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, saved_), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryW(saved_);
    Scratch::TearDown();
  }

  Unattended machine;
  LastPercentage progress;
  ListText list;
  CopyEngine engine{machine, progress, list};
  wchar_t saved_[MAX_PATH];
};

TEST_F(InstalledFileNotReplaceable, PassReportsTheRestAndLeavesTheOldFileWhole) {
  const fs::path installed = folder / L"DATA" / L"TITLE.TR2";
  Write(installed, "old");
  // Held open, sharing nothing, as the game or a virus scanner might: the system's sharing
  // check treats this handle as it would another program's.
  const HANDLE held = CreateFileW(installed.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  const bool ended = PassEndsTheProgram(engine);
  CloseHandle(held);

  EXPECT_FALSE(ended);
  EXPECT_TRUE(machine.boxes.empty());
  // Its step was made, and it counts as installed: its old copy is there.
  EXPECT_EQ(progress.text, Percentage(1, machine.DecimalSeparator()) + texts::kPercent);
  Text expected = Text(texts::kMissingHeader) + texts::kLineBreak + texts::kLineBreak;
  for (const CatalogueEntry& entry : kCatalogue) {
    if (entry.ReportName() != u"TITLE.TR2")
      expected += Text(entry.ReportName()) + texts::kLineBreak;
  }
  EXPECT_EQ(list.text, expected);
  EXPECT_EQ(Read(installed), "old");
  EXPECT_EQ(Names(folder / L"DATA"), std::set<std::wstring>{L"TITLE.TR2"});
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"DATA", L"FMV"}));

  // Once the other program lets go, the next pass replaces it.
  EXPECT_FALSE(PassEndsTheProgram(engine));
  EXPECT_EQ(Read(installed), Read(L"D:\\DATA\\TITLE.TR2"));
  EXPECT_EQ(Names(folder / L"DATA"), std::set<std::wstring>{L"TITLE.TR2"});
}

}  // namespace
}  // namespace kestovar::testing

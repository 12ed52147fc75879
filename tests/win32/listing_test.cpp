// The directory listing and folder creation on a real file system: which entries match,
// what "nothing there" answers, and names with Hungarian letters kept exactly.
#include "tests/win32/test_support.h"

namespace kestovar::testing {
namespace {

using Listing = Scratch;

TEST_F(Listing, AnswersTheFirstEntryThatMatches) {
  Write(folder / L"ASSAULT.TR2", "a");
  Write(folder / L"READONLY.TR2", "r", FILE_ATTRIBUTE_READONLY);
  // Hidden by its attribute on Windows and by its leading dot under Wine.
  Write(folder / L".HIDDEN.TR2", "h", FILE_ATTRIBUTE_HIDDEN);
  Write(folder / L"SYSTEM.TR2", "s", FILE_ATTRIBUTE_SYSTEM);
  fs::create_directories(folder / L"DATA");
  fs::create_directories(folder / L"Árvíztűrő tükörfúrógép");
  fs::create_directories(folder / L"FOLDERS" / L"SUB");
  fs::create_directories(folder / L"MIXED" / L"A.TR2");
  Write(folder / L"MIXED" / L"B.TR2", "b", FILE_ATTRIBUTE_HIDDEN);
  Write(folder / L"MIXED" / L"C.TR2", "c", FILE_ATTRIBUTE_SYSTEM);
  Write(folder / L"MIXED" / L"D.TR2", "d");
  for (const wchar_t* name : {L".HIDDEN.TR2", L"MIXED\\B.TR2"}) {
    ASSERT_TRUE(GetFileAttributesW((folder / name).c_str()) & FILE_ATTRIBUTE_HIDDEN) << name;
  }
  for (const wchar_t* name : {L"SYSTEM.TR2", L"MIXED\\C.TR2"}) {
    ASSERT_TRUE(GetFileAttributesW((folder / name).c_str()) & FILE_ATTRIBUTE_SYSTEM) << name;
  }

  const struct {
    const wchar_t* path;
    int attributes;
    const wchar_t* expected;
  } cases[] = {
      {L"ASSAULT.TR2", kOrdinaryFiles, L"ASSAULT.TR2"},
      {L"ASSAULT.TR2", kWithFolders, L"ASSAULT.TR2"},
      {L"assault.tr2", kOrdinaryFiles, L"ASSAULT.TR2"},    // the name as stored
      {L"READONLY.TR2", kOrdinaryFiles, L"READONLY.TR2"},  // as every file on a disc
      {L"ABSENT.TR2", kWithFolders, L""},
      {L"ABSENT\\ASSAULT.TR2", kWithFolders, L""},  // a missing folder is no failure
      {L"DATA", kOrdinaryFiles, L""},
      {L"DATA", kWithFolders, L"DATA"},
      {L"Árvíztűrő tükörfúrógép", kWithFolders, L"Árvíztűrő tükörfúrógép"},
      {L".HIDDEN.TR2", kWithFolders, L""},
      {L"SYSTEM.TR2", kWithFolders, L""},
      {L"MIXED\\*", kOrdinaryFiles, L"D.TR2"},  // passes over what does not match
      {L"FOLDERS\\", kOrdinaryFiles, L""},      // a folder with its separator is listed
      {L"FOLDERS\\", kWithFolders, L"SUB"},     // "." and ".." are not entries
  };
  for (const auto& c : cases) {
    EXPECT_EQ(services.Dir(At(c.path), c.attributes), ToText(std::wstring(c.expected)))
        << "Dir of " << Utf8(c.path) << " with " << c.attributes;
  }
}

TEST_F(Listing, MakeDirectoryCreatesOneFolderOrFails) {
  const Text hungarian = At(L"Játék Telepítés");
  services.MakeDirectory(hungarian);
  EXPECT_EQ(services.Dir(hungarian, kWithFolders), u"Játék Telepítés");

  EXPECT_EQ(FailureOf([&] { services.MakeDirectory(hungarian); }), 75);  // exists already
  EXPECT_EQ(FailureOf([&] { services.MakeDirectory(At(L"NO\\FMV")); }), 76);
  EXPECT_FALSE(fs::exists(folder / L"NO"));
}

}  // namespace
}  // namespace kestovar::testing

// The copy pass as the user meets it: which drives it visits, what it copies, what the
// progress window and the message boxes show, and how it ends.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/pass_fixture.h"

namespace kestovar::testing {
namespace {

std::string Content(const fs::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string AllMissing() {
  std::string lines = kReportHeader;
  for (const CatalogueEntry& entry : kCatalogue) lines += Utf8(Text(entry.ReportName())) + "\r\n";
  return lines;
}

TEST_F(PassTest, TypicalRunCopiesEveryFileShowsSuccessAndEnds) {
  machine.AddDrive('A', 2);
  machine.AddDrive('C', 3);
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D');

  EXPECT_TRUE(Pass());

  for (const CatalogueEntry& entry : kCatalogue) {
    EXPECT_EQ(Content(machine.Host(InstallPath(machine.current_directory, entry))),
              Utf8(Text(entry.disc_relative)));
  }
  EXPECT_EQ(machine.copies.size(), 32u);
  std::vector<std::string> texts = PercentTexts(1, 32);
  texts.push_back("100%");
  EXPECT_EQ(Lines("text "), texts);
  EXPECT_EQ(texts[1], "3.125%");
  EXPECT_EQ(texts[32], "100%");
  std::vector<std::string> bars = BarWidths(1, 32);
  bars.push_back("4800");
  EXPECT_EQ(Lines("bar "), bars);
  // First seen at 0%, then one repaint per step; the success box comes while 100% shows.
  const std::vector<std::string> opening{"text 0%", "show", "repaint"};
  EXPECT_TRUE(std::equal(opening.begin(), opening.end(), machine.journal.begin()));
  EXPECT_EQ(Lines("repaint").size(), 33u);
  const std::vector<std::string> closing{"text 100%", "bar 4800", kSuccessBox, "end"};
  EXPECT_TRUE(std::equal(closing.rbegin(), closing.rend(), machine.journal.rbegin()));
  EXPECT_EQ(engine.state.minden, kTrue);
  EXPECT_EQ(engine.state.szazalek, 32);
}

TEST_F(PassTest, NoDrivesSaysSoThenListsEverything) {
  EXPECT_FALSE(Pass());

  EXPECT_EQ(Lines("box "), std::vector<std::string>{kNoDrivesBox + 4});
  EXPECT_EQ(Utf8(list.text), AllMissing());
  EXPECT_TRUE(machine.copies.empty());
  EXPECT_TRUE(fs::is_directory(machine.Host(machine.current_directory + u"\\DATA")));
  EXPECT_TRUE(fs::is_directory(machine.Host(machine.current_directory + u"\\FMV")));
  EXPECT_EQ(engine.state.elsofele, kFalse);
  EXPECT_EQ(engine.state.masodikfele, kFalse);
  EXPECT_EQ(engine.state.minden, kFalse);
}

TEST_F(PassTest, WithoutCdromDriveVisitsEveryDriveAndCopiesNothing) {
  machine.AddDrive('A', 2);
  machine.AddDrive('C', 3);
  machine.AddDrive('Z', 4);

  EXPECT_FALSE(Pass());

  EXPECT_EQ(machine.drive_type_queries, (std::vector<std::string>{"A:\\", "C:\\", "Z:\\"}));
  EXPECT_TRUE(machine.copies.empty());
  EXPECT_TRUE(Lines("box ").empty());
  EXPECT_EQ(Lines("text "), std::vector<std::string>{"0%"});
  EXPECT_EQ(Utf8(list.text), AllMissing());
}

TEST_F(PassTest, DiscInSecondCdromDriveAfterAnEmptyOne) {
  machine.AddDrive('C', 3);
  machine.AddDrive('D', kDriveCdrom, /*has_media=*/false);
  machine.AddDrive('E', kDriveCdrom);
  machine.AddDrive('F', kDriveCdrom);
  machine.PutDisc('E');

  EXPECT_TRUE(Pass());

  // The empty drive had 32 copy attempts of its own, none of which advanced the progress. The
  // last one's 52 is still the error number when the disc's first file is checked: that file
  // is copied without a step of its own.
  ASSERT_EQ(machine.copies.size(), 64u);
  EXPECT_EQ(machine.copies.front(), u"D:\\DATA\\ASSAULT.TR2");
  EXPECT_EQ(machine.copies.back(), u"E:\\FMV\\MS.RPL");
  EXPECT_EQ(machine.drive_type_queries, (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
  std::vector<std::string> texts = PercentTexts(1, 31);
  texts.push_back("100%");
  EXPECT_EQ(Lines("text "), texts);
  EXPECT_EQ(Lines("box "), std::vector<std::string>{kSuccessBox + 4});
}

TEST_F(PassTest, DiscInFirstCdromDriveLeavesTheSecondUnvisited) {
  machine.AddDrive('D', kDriveCdrom);
  machine.AddDrive('E', kDriveCdrom);
  machine.PutDisc('D');
  machine.PutDisc('E');

  EXPECT_TRUE(Pass());

  EXPECT_EQ(machine.drive_type_queries, std::vector<std::string>{"D:\\"});
  EXPECT_EQ(machine.copies.size(), 32u);
}

TEST_F(PassTest, TwoDiscsBothSupplyingFilesCountPastHundredPercent) {
  machine.AddDrive('D', kDriveCdrom);
  machine.AddDrive('E', kDriveCdrom);
  std::vector<std::u16string_view> videos;
  for (const CatalogueEntry& entry : kCatalogue) {
    if (entry.disc_relative.starts_with(u"FMV")) videos.push_back(entry.disc_relative);
  }
  machine.PutDisc('D', videos);
  machine.PutDisc('E');

  EXPECT_TRUE(Pass());

  // 24 steps from the first disc, 32 more from the second: 175 %, then the success step.
  std::vector<std::string> texts = PercentTexts(1, 56);
  texts.push_back("100%");
  EXPECT_EQ(Lines("text "), texts);
  EXPECT_EQ(texts[24], "75%");
  EXPECT_EQ(Lines("bar ").at(55), "8400");
}

TEST_F(PassTest, EverythingInstalledBeforeEndsAfterTheFirstDriveWhateverItIs) {
  machine.AddDrive('A', 2);
  machine.AddDrive('D', kDriveCdrom);
  machine.InstallAll();

  EXPECT_TRUE(Pass());

  EXPECT_EQ(machine.drive_type_queries, std::vector<std::string>{"A:\\"});
  EXPECT_TRUE(machine.copies.empty());
  EXPECT_EQ(Lines("text "), (std::vector<std::string>{"0%", "100%"}));
  EXPECT_EQ(Lines("bar "), std::vector<std::string>{"4800"});
  EXPECT_EQ(Lines("box "), std::vector<std::string>{kSuccessBox + 4});
  EXPECT_EQ(machine.journal.back(), "end");
}

// TITLE.TR2 and UNWATER.TR2 do not decide success, but the report still wants them.
class FileOutsideBothHalves : public PassTest,
                              public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(FileOutsideBothHalves, SuccessThenTheListNamesIt) {
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D', {GetParam()});

  EXPECT_FALSE(Pass());

  EXPECT_EQ(Lines("text ").back(), "100%");
  EXPECT_EQ(Lines("text ").at(31), "96.875%");
  EXPECT_EQ(Lines("box "), std::vector<std::string>{kSuccessBox + 4});
  EXPECT_EQ(Utf8(list.text), kReportHeader + Utf8(Text(GetParam()).substr(5)) + "\r\n");
  EXPECT_EQ(engine.state.hianyvan, kTrue);
}

INSTANTIATE_TEST_SUITE_P(TitleOrUnwater, FileOutsideBothHalves,
                         ::testing::Values(u"DATA\\TITLE.TR2", u"DATA\\UNWATER.TR2"));

TEST_F(PassTest, ReportTextIsExact) {
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D', {u"DATA\\TITLE.TR2", u"FMV\\MS.RPL"});

  EXPECT_FALSE(Pass());

  EXPECT_EQ(list.text,
            u"A következő fájlok másolása nem sikerült: \r\n\r\nTITLE.TR2\r\nMS.RPL\r\n");
  EXPECT_TRUE(Lines("box ").empty());  // MS.RPL belongs to the second half
}

TEST_F(PassTest, RetryStartsAfreshButKeepsTheBarAndTheOldList) {
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D', {u"FMV\\END.RPL", u"FMV\\MS.RPL"});
  ASSERT_FALSE(Pass());
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("END.RPL\r\nMS.RPL\r\n"));

  // The user inserts the disc in another drive and moves to another folder: still one short.
  machine.journal.clear();
  machine.AddDrive('E', kDriveCdrom);
  machine.PutDisc('E', {u"FMV\\MS.RPL"});
  machine.MoveTo(u"C:\\Másik");
  machine.AddDrive('C', 3);
  ASSERT_FALSE(Pass());

  EXPECT_EQ(engine.state.adott, u"C:\\Másik");
  // 0% again at once; the bar is untouched until the first step.
  EXPECT_EQ(machine.journal.at(0), "text 0%");
  EXPECT_EQ(Lines("bar ").front(), "150");
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("MS.RPL\r\n"));
  EXPECT_TRUE(machine.Installed(kCatalogue[26]));  // END.RPL, from E:

  // Everything there at last: the pass ends the program and leaves the list alone.
  machine.journal.clear();
  machine.PutDisc('E');
  EXPECT_TRUE(Pass());
  EXPECT_TRUE(Lines("list ").empty());
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("MS.RPL\r\n"));
}

TEST_F(PassTest, DriveQueryFailingOnRetryMeansNoDrives) {
  machine.AddDrive('D', kDriveCdrom);
  ASSERT_FALSE(Pass());
  machine.fail_second_drive_query = true;
  machine.PutDisc('D');
  // An empty list from the query is still a list: the pass reports no drives.
  EXPECT_FALSE(Pass());
  EXPECT_EQ(Lines("box "), std::vector<std::string>{kNoDrivesBox + 4});
}

TEST_F(PassTest, InstallationDirectoryAtADriveRoot) {
  machine.AddDrive('C', 3);
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D');
  machine.MoveTo(u"C:\\");

  EXPECT_TRUE(Pass());

  // The paths keep both backslashes; the files land in C:\DATA and C:\FMV all the same.
  EXPECT_EQ(machine.listings.at(0), u"C:\\\\DATA");
  EXPECT_EQ(machine.listings.at(2), u"C:\\\\DATA\\ASSAULT.TR2");
  for (const CatalogueEntry& entry : kCatalogue) EXPECT_TRUE(machine.Installed(entry));
}

TEST_F(PassTest, UnreadableCurrentDirectoryKeepsThePreviousOne) {
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D', {u"DATA\\TITLE.TR2"});
  ASSERT_FALSE(Pass());
  machine.fail_current_directory = 71;
  machine.MoveTo(u"C:\\Elsewhere");
  EXPECT_FALSE(Pass());
  EXPECT_EQ(engine.state.adott, u"C:\\Játékok\\Brenmira");
}

// A half of the installation that could not be checked is not announced as copied.
TEST_F(PassTest, UncheckableInstalledFileIsNeverReportedAsSuccess) {
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D');
  machine.fail_listing[InstallPath(machine.current_directory, kCatalogue[0])] = 57;

  EXPECT_FALSE(Pass());

  EXPECT_TRUE(Lines("box ").empty());
  EXPECT_EQ(engine.state.elsofele, kFalse);
  EXPECT_EQ(engine.state.masodikfele, kTrue);
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("ASSAULT.TR2\r\n"));
}

}  // namespace
}  // namespace kestovar::testing

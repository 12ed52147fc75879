// One catalogue file at a time: the two checks, the progress steps they give, the copy, and
// what failures do to them.
#include <fstream>
#include <iterator>

#include "tests/pass_fixture.h"

namespace kestovar::testing {
namespace {

const CatalogueEntry& kAssault = kCatalogue[0];
const CatalogueEntry& kBoat = kCatalogue[1];

class EntryStep : public PassTest {
 protected:
  void SetUp() override { machine.AddDrive('D', kDriveCdrom); }
  Text I(const CatalogueEntry& entry) const {
    return InstallPath(machine.current_directory, entry);
  }
  static Text D(const CatalogueEntry& entry) { return DiscPath(u"D:\\", entry); }
  std::string Installed(const CatalogueEntry& entry) const {
    std::ifstream in(machine.Host(I(entry)));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(EntryStep, AsksInstallThenDiscTwiceThenListsTheDiscFile) {
  machine.PutDisc('D');
  Pass();
  // After the two folder probes: I, D for the first check, I, D for the second, then D.
  const std::vector<Text> first(machine.listings.begin() + 2, machine.listings.begin() + 7);
  EXPECT_EQ(first,
            (std::vector<Text>{I(kAssault), D(kAssault), I(kAssault), D(kAssault), D(kAssault)}));
  EXPECT_EQ(machine.listings.at(7), I(kBoat));
}

TEST_F(EntryStep, InstalledFileIsReplacedWithOneStepEach) {
  machine.PutDisc('D');
  machine.InstallAll();

  EXPECT_TRUE(Pass());

  EXPECT_EQ(Installed(kAssault), "DATA\\ASSAULT.TR2");
  std::vector<std::string> texts = PercentTexts(1, 32);
  texts.push_back("100%");
  EXPECT_EQ(Lines("text "), texts);
}

TEST_F(EntryStep, DiscWithoutVideosStopsAtSeventyFivePercent) {
  std::vector<std::u16string_view> videos;
  for (std::size_t n = 24; n < kCatalogue.size(); ++n)
    videos.push_back(kCatalogue[n].disc_relative);
  machine.PutDisc('D', videos);

  EXPECT_FALSE(Pass());

  EXPECT_EQ(Lines("text ").back(), "75%");
  EXPECT_EQ(Lines("bar ").back(), "3600");
  EXPECT_EQ(machine.copies.size(), 24u);
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("ANCIENT.RPL\r\nCRASH.RPL\r\nEND.RPL\r\n"
                                                         "JEEP.RPL\r\nLANDING.RPL\r\nLOGO.RPL\r\n"
                                                         "MODERN.RPL\r\nMS.RPL\r\n"));
}

TEST_F(EntryStep, FolderNamedLikeADiscFileStepsButIsNotCopied) {
  machine.PutDisc('D', {kAssault.disc_relative});
  fs::create_directories(machine.Host(D(kAssault)));

  EXPECT_FALSE(Pass());

  EXPECT_EQ(Lines("text ").back(), "100%");
  EXPECT_EQ(machine.copies.size(), 31u);
  EXPECT_TRUE(Lines("box ").empty());
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("ASSAULT.TR2\r\n"));
}

// A failing disc probe counts as the check holding: 52 takes the step back, any other number
// keeps it, in each of the two checks. The listing before the copy fails too, and its number
// reaches the next file's first check: with 52 that file loses its step as well.
struct ProbeFailure {
  int number;
  const char* last_text;
};
class DiscProbeFailure : public EntryStep, public ::testing::WithParamInterface<ProbeFailure> {};

TEST_P(DiscProbeFailure, StepsOncePerCheckUnlessTheNumberIs52) {
  machine.PutDisc('D');
  machine.fail_listing[D(kAssault)] = GetParam().number;

  EXPECT_TRUE(Pass());  // the listing failure does not stop the copy itself

  std::vector<std::string> texts = Lines("text ");
  texts.pop_back();  // the success step's 100%
  EXPECT_EQ(texts.back(), GetParam().last_text);
  EXPECT_EQ(machine.copies.size(), 32u);
}

INSTANTIATE_TEST_SUITE_P(Numbers, DiscProbeFailure,
                         ::testing::Values(ProbeFailure{52, "93.75%"},
                                           ProbeFailure{57, "103.125%"}),
                         [](const auto& info) {
                           return "Error" + std::to_string(info.param.number);
                         });

// A copy that fails, even half-way, leaves the installed file as it was and the pass going.
TEST_F(EntryStep, FailedCopyKeepsTheOldFileAndTheReportTellsTheRest) {
  machine.PutDisc('D');
  machine.Install({kAssault.disc_relative});
  machine.fail_copy_from[D(kAssault)] = 57;
  machine.fail_copy_from[D(kCatalogue[31])] = 70;

  EXPECT_FALSE(Pass());

  EXPECT_EQ(Installed(kAssault), "installed before");
  EXPECT_EQ(Installed(kBoat), "DATA\\BOAT.TR2");
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("MS.RPL\r\n"));
  EXPECT_EQ(Lines("text ").back(), "100%");  // every file had its step
}

// The number of a failed copy lives on until the next entry's first check reads it.
TEST_F(EntryStep, CopyFailingWith52TakesTheNextFilesStep) {
  machine.PutDisc('D');
  machine.fail_copy_from[D(kAssault)] = 52;

  EXPECT_FALSE(Pass());

  EXPECT_EQ(Lines("text ").back(), "96.875%");
  EXPECT_EQ(Installed(kBoat), "DATA\\BOAT.TR2");
  EXPECT_EQ(Utf8(list.text), kReportHeader + std::string("ASSAULT.TR2\r\n"));
}

TEST_F(EntryStep, BarStopsGrowingWhenItsWidthNoLongerFitsSixteenBits) {
  // Seven discs and a destination that takes nothing: 7 × 32 steps.
  for (char letter : {'E', 'F', 'G', 'H', 'I', 'J'}) machine.AddDrive(letter, kDriveCdrom);
  for (char letter : {'D', 'E', 'F', 'G', 'H', 'I', 'J'}) machine.PutDisc(letter);
  machine.fail_every_copy = 70;

  EXPECT_FALSE(Pass());

  EXPECT_EQ(engine.state.szazalek, 224);
  EXPECT_EQ(Lines("text ").back(), "700%");
  EXPECT_EQ(Lines("bar "), BarWidths(1, 218));  // 219 × 150 overflows: the bar stays
  EXPECT_EQ(Lines("repaint").size(), 1u + 224u);
}

TEST_F(EntryStep, PercentageUsesTheUsersDecimalSeparator) {
  machine.decimal_separator = u",";
  machine.PutDisc('D');

  EXPECT_TRUE(Pass());

  const std::vector<std::string> texts = Lines("text ");
  EXPECT_EQ(texts.at(1), "3,125%");
  EXPECT_EQ(texts.at(2), "6,25%");
  EXPECT_EQ(texts.at(4), "12,5%");
  EXPECT_EQ(texts.at(8), "25%");
  EXPECT_EQ(texts.at(31), "96,875%");
  EXPECT_EQ(texts.at(32), "100%");
}

}  // namespace
}  // namespace kestovar::testing

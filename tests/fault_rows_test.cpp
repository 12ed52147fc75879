// Faults that strike in the middle of a pass: the disc taken out between two files, and a
// destination that stops taking files (read-only, in use, full). The pass runs on to its
// report either way, and the report names exactly the files that are not installed.
#include <fstream>
#include <iterator>

#include "engine/copy_engine.h"
#include "tests/fake_machine.h"
#include "tests/pass_fixture.h"

namespace kestovar::testing {
namespace {

// Drive D: holds the disc. After `intact` files have been copied, either the disc is taken out
// (every listing and copy on D: fails with 52, as with an empty drive) or, given a number, the
// destination fails every further copy with it.
class FaultingMachine : public FakeMachine {
 public:
  int intact = 32;
  std::optional<int> destination_failure;

  Text Dir(const Text& path, int attributes) override {
    if (DiscOut() && path.starts_with(u"D:")) throw Failure{error::kDeviceUnavailable};
    return FakeMachine::Dir(path, attributes);
  }
  void FileCopy(const Text& source, const Text& destination) override {
    if (copied_ >= intact) {
      copies.push_back(source);
      throw Failure{destination_failure.value_or(error::kDeviceUnavailable)};
    }
    FakeMachine::FileCopy(source, destination);
    ++copied_;
  }

 private:
  bool DiscOut() const { return !destination_failure && copied_ >= intact; }
  int copied_ = 0;
};

class MidPassFault : public PassTestOn<FaultingMachine> {
 protected:
  MidPassFault() {
    machine.AddDrive('C', 3);
    machine.AddDrive('D', kDriveCdrom);
    machine.PutDisc('D');
    // An older copy of one late file is installed already.
    machine.Install({kOldCopy.disc_relative});
  }
  std::string Installed(const CatalogueEntry& entry) const {
    std::ifstream in(machine.Host(InstallPath(machine.current_directory, entry)));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The report for the files from index `first` on, less the one installed before.
  static std::string ReportFrom(std::size_t first) {
    std::string report = kReportHeader;
    for (std::size_t n = first; n < kCatalogue.size(); ++n) {
      if (&kCatalogue[n] != &kOldCopy) report += Utf8(Text(kCatalogue[n].ReportName())) + "\r\n";
    }
    return report;
  }
  // On disk: the first `copied` files as on the disc, the old copy untouched unless among them,
  // no other catalogue file.
  void ExpectOnDisk(std::size_t copied) const {
    for (std::size_t n = 0; n < kCatalogue.size(); ++n) {
      const CatalogueEntry& entry = kCatalogue[n];
      const std::string expected = n < copied            ? Utf8(Text(entry.disc_relative))
                                   : &entry == &kOldCopy ? "installed before"
                                                         : "";
      EXPECT_EQ(Installed(entry), expected) << Utf8(Text(entry.disc_relative));
    }
  }

  static constexpr std::size_t kOldIndex = 29;  // FMV\LOGO.RPL
  static constexpr const CatalogueEntry& kOldCopy = kCatalogue[kOldIndex];
};

// The progress text after n steps, as the pass writes it.
std::string PercentAfter(int steps) { return Utf8(Percentage(steps, u".")) + "%"; }

class DiscTakenOut : public MidPassFault, public ::testing::WithParamInterface<int> {};

TEST_P(DiscTakenOut, LaterFilesGetNoStepAndTheListNamesExactlyThem) {
  const int copied = GetParam();
  machine.intact = copied;

  EXPECT_FALSE(Pass());

  EXPECT_TRUE(Lines("box ").empty());  // no success, and no word about the disc either
  EXPECT_EQ(Lines("text ").back(), PercentAfter(copied));
  EXPECT_EQ(Utf8(list.text), ReportFrom(copied));
  ExpectOnDisk(copied);

  // The disc back in, the retry completes the installation and ends the program.
  machine.intact = 1000;
  EXPECT_TRUE(Pass());
  EXPECT_EQ(Lines("box "), std::vector<std::string>{kSuccessBox + 4});
  ExpectOnDisk(32);
}

INSTANTIATE_TEST_SUITE_P(AfterFiles, DiscTakenOut, ::testing::Values(1, 17, 31));

// Read-only or in use (70), full (61), a write fault (57): each file still gets its step, as
// the step comes before the copy, so the bar fills; but no success follows, only the list.
class DestinationStopsTakingFiles : public MidPassFault,
                                    public ::testing::WithParamInterface<int> {};

TEST_P(DestinationStopsTakingFiles, EveryFileStepsButTheListNamesTheUncopied) {
  machine.intact = 20;
  machine.destination_failure = GetParam();

  EXPECT_FALSE(Pass());

  EXPECT_EQ(machine.copies.size(), 32u);  // each file was tried
  EXPECT_EQ(Lines("text ").back(), "100%");
  EXPECT_EQ(Lines("bar ").back(), "4800");
  EXPECT_TRUE(Lines("box ").empty());
  EXPECT_EQ(Utf8(list.text), ReportFrom(20));
  ExpectOnDisk(20);
}

INSTANTIATE_TEST_SUITE_P(Numbers, DestinationStopsTakingFiles, ::testing::Values(70, 61, 57),
                         [](const auto& info) { return "Error" + std::to_string(info.param); });

}  // namespace
}  // namespace kestovar::testing

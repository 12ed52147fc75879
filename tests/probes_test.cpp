// Drive list and existence probes.
#include "engine/probes.h"

#include <gtest/gtest.h>

#include "platform/resumption.h"
#include "tests/fake_machine.h"

namespace kestovar::testing {
namespace {

TEST(GetDriveStrings, FourCharactersPerDriveAndAClosingNul) {
  FakeMachine machine;
  machine.AddDrive('A', 2);
  machine.AddDrive('C', 3);
  machine.AddDrive('D', kDriveCdrom);
  const Text list = GetDriveStrings(machine);
  EXPECT_EQ(list, Text(u"A:\\\0C:\\\0D:\\\0\0", 13));
}

TEST(GetDriveStrings, FailedQueryGivesTheEmptyTextNotAFailure) {
  FakeMachine machine;
  machine.AddDrive('C', 3);
  machine.fail_second_drive_query = true;
  EXPECT_EQ(GetDriveStrings(machine), u"");
}

// A drive added between the two queries: the buffer is too short, nothing is written, and the
// list is all NULs of the size first asked for.
class GrowingMachine : public FakeMachine {
 public:
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override {
    const std::uint32_t answer = FakeMachine::GetLogicalDriveStringsA(size, buffer);
    if (size == 0) AddDrive('E', kDriveCdrom);
    return answer;
  }
};

TEST(GetDriveStrings, KeepsTheFirstSizeWhenTheDrivesChangeInBetween) {
  GrowingMachine machine;
  machine.AddDrive('C', 3);
  EXPECT_EQ(GetDriveStrings(machine), Text(5, u'\0'));
}

TEST(FileExists, AnswersMinusOneOrZeroForFilesAndFoldersAlike) {
  FakeMachine machine;
  machine.AddDrive('D', kDriveCdrom);
  machine.PutDisc('D');
  EXPECT_EQ(FileExists(machine, u"D:\\DATA\\ASSAULT.TR2"), -1);
  EXPECT_EQ(FileExists(machine, u"D:\\DATA"), -1);                 // a folder counts
  EXPECT_EQ(DirectoryExists(machine, u"D:\\DATA\\BOAT.TR2"), -1);  // and so does a file
  EXPECT_EQ(FileExists(machine, u"D:\\DATA\\NOPE.TR2"), 0);
  EXPECT_EQ(FileExists(machine, u"D:\\NOWHERE\\ASSAULT.TR2"), 0);  // no failure either
}

TEST(FileExists, FailsWith52OnACdromDriveWithoutDisc) {
  FakeMachine machine;
  machine.AddDrive('E', kDriveCdrom, /*has_media=*/false);
  try {
    FileExists(machine, u"E:\\DATA\\ASSAULT.TR2");
    ADD_FAILURE() << "answered instead of failing";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, 52);
  }
}

TEST(Catalogue, HalvesCoverThirtyFilesAndNoneTwice) {
  int first = 0, second = 0, neither = 0;
  for (const CatalogueEntry& entry : kCatalogue) {
    (entry.group == Group::kFirst ? first : entry.group == Group::kSecond ? second : neither)++;
  }
  EXPECT_EQ(first, 17);
  EXPECT_EQ(second, 13);
  EXPECT_EQ(neither, 2);
  EXPECT_EQ(kCatalogue[19].ReportName(), u"TITLE.TR2");
  EXPECT_EQ(kCatalogue[20].ReportName(), u"UNWATER.TR2");
  EXPECT_EQ(InstallPath(u"C:\\", kCatalogue[31]), u"C:\\\\FMV\\MS.RPL");
  EXPECT_EQ(DiscPath(u"D:\\", kCatalogue[31]), u"D:\\FMV\\MS.RPL");
}

}  // namespace
}  // namespace kestovar::testing

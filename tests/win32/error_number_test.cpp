// The copy engine tells only 52 apart: a drive it cannot read, whose files get no progress
// step. Everything else must still read as a failure, and as the right kind.
#include "tests/win32/test_support.h"

namespace kestovar::testing {
namespace {

TEST(ErrorNumber, DriveWithoutDiscAndUnreadableNamesAre52) {
  for (const DWORD error :
       {ERROR_NOT_READY, ERROR_NO_MEDIA_IN_DRIVE, ERROR_UNRECOGNIZED_MEDIA, ERROR_INVALID_NAME,
        ERROR_BAD_PATHNAME, ERROR_FILENAME_EXCED_RANGE, ERROR_INVALID_DRIVE}) {
    EXPECT_EQ(ErrorNumber(error), 52) << "system error " << error;
  }
}

TEST(ErrorNumber, CopyFaultsKeepTheirKindAndAreNot52) {
  const struct {
    DWORD error;
    int number;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, 53},
      {ERROR_PATH_NOT_FOUND, 76},
      {ERROR_ACCESS_DENIED, 70},
      {ERROR_SHARING_VIOLATION, 70},
      {ERROR_WRITE_PROTECT, 70},
      {ERROR_DISK_FULL, 61},
      {ERROR_CRC, 57},
      {ERROR_READ_FAULT, 57},
      {ERROR_GEN_FAILURE, 57},
      {ERROR_ALREADY_EXISTS, 75},
      {ERROR_NOT_ENOUGH_MEMORY, 7},
      {ERROR_REQUEST_ABORTED, 75},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorNumber(c.error), c.number) << "system error " << c.error;
}

TEST(ErrorNumber, EveryFailureReadsAsOne) {
  // 0 would be taken for "no failure" by the copy pass, also for a call that gave no reason.
  for (DWORD error = 0; error < 20000; ++error) ASSERT_NE(ErrorNumber(error), 0) << error;
}

}  // namespace
}  // namespace kestovar::testing

// The copy engine tells only 52 apart: a drive it cannot read, whose files get no progress
// step. Everything else must still read as a failure, and not as that one.
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

TEST(ErrorNumber, CopyFaultsAreNot52) {
  // Their exact numbers are checked where the copy tests make them happen for real.
  for (const DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                            ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_CRC, ERROR_READ_FAULT,
                            ERROR_GEN_FAILURE, ERROR_ALREADY_EXISTS, ERROR_NOT_ENOUGH_MEMORY}) {
    EXPECT_NE(ErrorNumber(error), 52) << "system error " << error;
  }
}

TEST(ErrorNumber, EveryFailureReadsAsOne) {
  // 0 would be taken for "no failure" by the copy pass, also for a call that gave no reason.
  for (DWORD error = 0; error < 20000; ++error) ASSERT_NE(ErrorNumber(error), 0) << error;
}

}  // namespace
}  // namespace kestovar::testing

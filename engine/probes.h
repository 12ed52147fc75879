// How the engine learns which drives there are and whether a path exists. None of these
// handle failures: a failing query or listing fails the calling statement.
#pragma once

#include "platform/services.h"

namespace kestovar {

// The drive list: "X:\<NUL>" per drive, then one more NUL; all the characters the first
// query asked for, even when the second wrote fewer. The empty text when the query fails.
Text GetDriveStrings(Services& sys);

// Whether anything (file or folder) answers to the path: kTrue or kFalse. The two are the
// same test under two names, as the callers read best.
Boolean FileExists(Services& sys, const Text& FilePath);
inline Boolean DirectoryExists(Services& sys, const Text& FilePath) {
  return FileExists(sys, FilePath);
}

}  // namespace kestovar

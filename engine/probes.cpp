#include "engine/probes.h"

#include <string>

namespace kestovar {

Text GetDriveStrings(Services& sys) {
  Text result;
  std::string buffer;
  const std::uint32_t needed = sys.GetLogicalDriveStringsA(0, buffer.data());
  buffer.assign(needed, '\0');
  if (sys.GetLogicalDriveStringsA(needed, buffer.data()) != 0) {
    // One 8-bit character for one 16-bit character: the length never changes.
    for (const unsigned char c : buffer) result.push_back(c);
  }
  return result;
}

Boolean FileExists(Services& sys, const Text& FilePath) {
  return sys.Dir(FilePath, kWithFolders).empty() ? kFalse : kTrue;
}

}  // namespace kestovar

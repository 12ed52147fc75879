// The copy of the running exe that the elevation prompt starts.
#pragma once

#include <string>

namespace kestovar {

// A copy of the running exe in a new folder that only the player, the administrators and the
// system may change, for the elevation prompt to start. The exe's own folder may be one that other
// users can write (a folder made in a drive root, the Public folders, a share): there the file
// could be swapped between the player's start and the prompt, and on XP and on Vista and 7 without
// KB2533623 that folder stays in the elevated program's search for the DLLs Windows loads late.
// Both are gone again once the elevated instance has ended.
class PrivateExeCopy {
 public:
  PrivateExeCopy();
  ~PrivateExeCopy();
  PrivateExeCopy(const PrivateExeCopy&) = delete;
  PrivateExeCopy& operator=(const PrivateExeCopy&) = delete;

  // The copy's path; empty where it could not be made.
  const std::wstring& Program() const { return program_; }

 private:
  std::wstring folder_, copy_, program_;
};

}  // namespace kestovar

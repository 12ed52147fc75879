// How a test sees the program end: the platform's End() throws ProgramEnded instead.
#pragma once

#include "engine/copy_engine.h"

namespace kestovar::testing {

struct ProgramEnded {};

// Runs one pass; true when it ended the program.
inline bool PassEndsTheProgram(CopyEngine& engine) {
  try {
    engine.Masol();
  } catch (const ProgramEnded&) {
    return true;
  }
  return false;
}

}  // namespace kestovar::testing

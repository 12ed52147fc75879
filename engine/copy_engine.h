// The copy pass: finds the game's disc among the CD-ROM drives, copies the catalogue into the
// installation directory, and either ends the program or lists what is still missing.
#pragma once

#include <cstdint>

#include "engine/catalogue.h"
#include "engine/displays.h"
#include "engine/resumption.h"
#include "platform/services.h"

namespace kestovar {

// Bar widths in twips: each progress step adds 150; 32 steps fill the bar.
inline constexpr std::int16_t kBarStepTwips = 150;
inline constexpr float kFullBarTwips = 4800;

// What the main window keeps between passes, in its declared order.
struct CopyState {
  Text hiany;                    // report names found missing by this pass, each followed by CR LF
  Text bHiany;                   // unused
  Text strDrives;                // the drive list, read anew by every pass
  Text CDPath;                   // root of the CD-ROM drive being copied from ("D:\")
  Text adott;                    // the installation directory
  Boolean hianyvan = kFalse;     // something is missing
  Boolean hiba = kFalse;         // unused
  Boolean minden = kFalse;       // the drive walk ended in success
  Boolean elsofele = kFalse;     // the first half of the installation is present
  Boolean masodikfele = kFalse;  // the second half is present
  std::int16_t szazalek = 0;     // progress steps of this pass
  std::int16_t kijel = 0;        // unused
  std::int16_t szazalekStart = 0;  // unused; set before the first pass
  Boolean novel = kFalse;          // whether the current entry advances the progress
};

// "3.125" for one progress step of 3.125 %: the shortest exact decimal, with the separator.
Text Percentage(std::int16_t steps, const Text& decimal_separator);

class CopyEngine {
 public:
  CopyEngine(Services& sys, ProgressDisplay& progress, MissingList& list)
      : sys_(sys), progress_(progress), list_(list) {}

  // One copy pass. Returns when something is still missing (the list has been written);
  // otherwise ends the program. No failure escapes it.
  void Masol();

  CopyState state;

 private:
  void EnsureFolder(const char16_t* name);
  void WalkDrives();
  bool Installed(Group group);
  void Succeed();
  void CopyEntry(const CatalogueEntry& entry);
  void CheckAndAdvance(const Text& I, const Text& D, Boolean installed_before);
  void AdvanceProgress();
  void ReportMissing();

  template <class F>
  void Step(F&& statement) {
    step(err_, statement);
  }
  template <class F>
  bool Holds(F&& condition) {
    return holds(err_, condition);
  }

  Services& sys_;
  ProgressDisplay& progress_;
  MissingList& list_;
  ErrorState err_;
};

}  // namespace kestovar

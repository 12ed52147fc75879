#include "engine/copy_engine.h"

#include <cstdlib>
#include <optional>

#include "engine/probes.h"
#include "engine/texts.h"
#include "engine/checked16.h"
#include "engine/decimal.h"

namespace kestovar {
namespace {

// Drive roots are plain ASCII ("D:\"), one character for one.
std::string Narrow(const Text& text) { return std::string(text.begin(), text.end()); }

// A comparison as a 16-bit boolean, so that two of them combine with a bitwise And.
Boolean Is(Boolean value, Boolean expected) { return value == expected ? kTrue : kFalse; }

}  // namespace

Text Percentage(std::int16_t steps, const Text& decimal_separator) {
  // steps * 3.125 = steps * 25 / 8: exact in thousandths, never more than three decimals.
  const std::int32_t thousandths = std::int32_t{steps} * 3125;
  Text text = DecimalDigits(thousandths / 1000);
  const std::int32_t fraction = std::abs(thousandths % 1000);
  if (fraction != 0) {
    Text decimals = DecimalDigits(1000 + fraction).substr(1);
    decimals.erase(decimals.find_last_not_of(u'0') + 1);
    text += decimal_separator + decimals;
  }
  return text;
}

void CopyEngine::Masol() {
  CopyState& s = state;
  // Every pass starts afresh from where the user is now; a directory that cannot be read
  // leaves the previous one.
  Step([&] { s.adott = sys_.CurrentDirectory(); });
  Step([&] { s.CDPath.clear(); });
  Step([&] { s.hiany.clear(); });
  Step([&] { s.minden = kFalse; });
  Step([&] { s.hiba = kFalse; });
  Step([&] { s.elsofele = kFalse; });
  Step([&] { s.masodikfele = kFalse; });
  Step([&] { s.hianyvan = kFalse; });
  Step([&] { s.szazalek = 0; });
  Step([&] { err_.Clear(); });
  // "0%" at once; the bar keeps the last pass's width until the first step.
  Step([&] { progress_.SetPercentText(DecimalDigits(s.szazalek) + texts::kPercent); });
  Step([&] { progress_.Show(); });
  Step([&] { progress_.Repaint(); });
  EnsureFolder(u"\\DATA");
  EnsureFolder(u"\\FMV");
  // A drive list that could not be read keeps the last pass's list.
  Step([&] { s.strDrives = GetDriveStrings(sys_); });
  if (Holds([&] { return s.strDrives.empty(); })) {
    Step([&] { sys_.ShowMessage(texts::kNoDrives, kStyleCritical, std::nullopt); });
  } else {
    WalkDrives();
  }
  ReportMissing();
}

void CopyEngine::EnsureFolder(const char16_t* name) {
  // A folder that could not be asked about counts as existing: it is not created.
  if (Holds([&] { return DirectoryExists(sys_, state.adott + name) == kTrue; })) return;
  Step([&] { sys_.MakeDirectory(state.adott + name); });
}

void CopyEngine::WalkDrives() {
  CopyState& s = state;
  std::int32_t index = 1;  // 1-based position of the current entry in strDrives
  Text root;
  std::uint32_t type = 0;
  // The list ends at the NUL after its last entry; running off its end ends it too.
  while (Holds([&] {
    return index <= static_cast<std::int32_t>(s.strDrives.size()) &&
           s.strDrives[index - 1] != u'\0';
  })) {
    Step([&] { root = s.strDrives.substr(index - 1, 3); });  // "D:\", without its NUL
    Step([&] { index += 4; });
    Step([&] { type = sys_.GetDriveTypeA(Narrow(root).c_str()); });
    if (Holds([&] { return type == kDriveCdrom; })) {
      Step([&] { s.CDPath = root; });
      for (const CatalogueEntry& entry : kCatalogue) CopyEntry(entry);
    }
    // After every drive, whatever its type: is the installation complete? A half that could not
    // be checked is not taken for installed.
    if (confirmed(err_, [&] { return Installed(Group::kFirst); }))
      Step([&] { s.elsofele = kTrue; });
    if (confirmed(err_, [&] { return Installed(Group::kSecond); })) {
      Step([&] { s.masodikfele = kTrue; });
    }
    if (Holds([&] { return (Is(s.elsofele, kTrue) & Is(s.masodikfele, kTrue)) != kFalse; })) {
      Succeed();  // and the drives after this one are not visited
      return;
    }
  }
}

// Every member is asked before the answer is given, in catalogue order.
bool CopyEngine::Installed(Group group) {
  Boolean all = kTrue;
  for (const CatalogueEntry& entry : kCatalogue) {
    if (entry.group == group) all &= FileExists(sys_, InstallPath(state.adott, entry));
  }
  return all == kTrue;
}

void CopyEngine::Succeed() {
  Step([&] { state.minden = kTrue; });
  Step([&] { progress_.SetPercentText(DecimalDigits(100) + texts::kPercent); });
  Step([&] { progress_.SetBarWidth(kFullBarTwips); });
  Step([&] { sys_.ShowMessage(texts::kSuccess, kStyleOk, Text(texts::kSuccessTitle)); });
}

void CopyEngine::CopyEntry(const CatalogueEntry& entry) {
  const Text I = InstallPath(state.adott, entry);
  const Text D = DiscPath(state.CDPath, entry);
  // Both checks see the installation as it was before this entry's copy, so a file on the disc
  // gets exactly one step: in the first check when it is new, in the second when it replaces.
  CheckAndAdvance(I, D, kFalse);
  Step([&] { err_.Clear(); });
  CheckAndAdvance(I, D, kTrue);
  Step([&] { err_.Clear(); });
  // Only an ordinary file is copied; a listing that fails still lets the copy be tried, and the
  // failure of that copy is the error number the next entry's first check reads.
  if (Holds([&] { return !sys_.Dir(D, kOrdinaryFiles).empty(); })) {
    Step([&] { sys_.FileCopy(D, I); });
  }
}

// One of the two checks of an entry, and its progress step. A failing probe counts as the
// check holding; then a failure numbered 52 (no disc) takes the step back.
void CopyEngine::CheckAndAdvance(const Text& I, const Text& D, Boolean installed_before) {
  CopyState& s = state;
  if (Holds([&] {  // the installed copy first, then the disc's; both are asked
        const Boolean installed = FileExists(sys_, I);
        const Boolean on_disc = FileExists(sys_, D);
        return (Is(installed, installed_before) & Is(on_disc, kTrue)) != kFalse;
      })) {
    Step([&] { s.novel = kTrue; });
    if (Holds([&] { return err_.number() == error::kDeviceUnavailable; })) {
      Step([&] { s.novel = kFalse; });
    }
  } else {
    Step([&] { s.novel = kFalse; });
  }
  if (Holds([&] { return s.novel == kTrue; })) AdvanceProgress();
}

void CopyEngine::AdvanceProgress() {
  CopyState& s = state;
  // Each of the four goes on when another fails: past 218 steps the width no longer fits in
  // 16 bits and the bar stays where it is, while the text still counts on.
  Step([&] { s.szazalek = Add16(s.szazalek, 1); });
  Step([&] {
    progress_.SetPercentText(Percentage(s.szazalek, sys_.DecimalSeparator()) + texts::kPercent);
  });
  Step([&] { progress_.SetBarWidth(static_cast<float>(Mul16(s.szazalek, kBarStepTwips))); });
  Step([&] { progress_.Repaint(); });  // the pass does not return to the event loop: paint now
}

void CopyEngine::ReportMissing() {
  CopyState& s = state;
  for (const CatalogueEntry& entry : kCatalogue) {
    if (Holds([&] { return FileExists(sys_, InstallPath(s.adott, entry)) == kFalse; })) {
      Step([&] { s.hiany += Text(entry.ReportName()) + texts::kLineBreak; });
      Step([&] { s.hianyvan = kTrue; });
    }
  }
  if (Holds([&] { return s.hianyvan == kTrue; })) {
    Step([&] {
      list_.SetText(texts::kMissingHeader + Text(texts::kLineBreak) + texts::kLineBreak + s.hiany);
    });
  }
  if (Holds([&] { return s.hianyvan == kFalse; })) Step([&] { sys_.End(); });
}

}  // namespace kestovar

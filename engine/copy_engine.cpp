#include "engine/copy_engine.h"

#include <cstdlib>
#include <optional>

#include "engine/probes.h"
#include "engine/texts.h"
#include "platform/checked16.h"
#include "platform/decimal.h"

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
  Step([&] { s.adott = sys_.CurrentDirectory(); });  // 1
  Step([&] { s.CDPath.clear(); });                   // 2
  Step([&] { s.hiany.clear(); });
  Step([&] { s.minden = kFalse; });  // 3
  Step([&] { s.hiba = kFalse; });
  Step([&] { s.elsofele = kFalse; });
  Step([&] { s.masodikfele = kFalse; });
  Step([&] { s.hianyvan = kFalse; });
  Step([&] { s.szazalek = 0; });
  Step([&] { err_.Clear(); });                                                           // 4
  Step([&] { progress_.SetPercentText(DecimalDigits(s.szazalek) + texts::kPercent); });  // 5
  Step([&] { progress_.Show(); });                                                       // 6
  Step([&] { progress_.Repaint(); });
  EnsureFolder(u"\\DATA");                             // 7
  EnsureFolder(u"\\FMV");                              // 8
  Step([&] { s.strDrives = GetDriveStrings(sys_); });  // 9
  if (Holds([&] { return s.strDrives.empty(); })) {    // 10
    Step([&] { sys_.ShowMessage(texts::kNoDrives, kStyleCritical, std::nullopt); });
  } else {
    WalkDrives();  // 11, 12
  }
  ReportMissing();  // 13
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
  while (Holds([&] {  // 11.1
    return index <= static_cast<std::int32_t>(s.strDrives.size()) &&
           s.strDrives[index - 1] != u'\0';
  })) {
    Step([&] { root = s.strDrives.substr(index - 1, 3); });          // 11.2
    Step([&] { index += 4; });                                       // 11.3
    Step([&] { type = sys_.GetDriveTypeA(Narrow(root).c_str()); });  // 11.4
    if (Holds([&] { return type == kDriveCdrom; })) {                // 11.5
      Step([&] { s.CDPath = root; });
      for (const CatalogueEntry& entry : kCatalogue) CopyEntry(entry);
    }
    // 11.6. A half that could not be checked is not taken for installed.
    if (confirmed(err_, [&] { return Installed(Group::kFirst); }))
      Step([&] { s.elsofele = kTrue; });
    if (confirmed(err_, [&] { return Installed(Group::kSecond); })) {
      Step([&] { s.masodikfele = kTrue; });
    }
    if (Holds([&] { return (Is(s.elsofele, kTrue) & Is(s.masodikfele, kTrue)) != kFalse; })) {
      Succeed();  // 11.7, 12
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
  CheckAndAdvance(I, D, kFalse);  // 1-6: new to the installation
  Step([&] { err_.Clear(); });    // 7
  CheckAndAdvance(I, D, kTrue);   // 8-13: replaces an installed copy
  Step([&] { err_.Clear(); });    // 14
  if (Holds([&] { return !sys_.Dir(D, kOrdinaryFiles).empty(); })) {  // 15
    Step([&] { sys_.FileCopy(D, I); });                               // 16
  }
}

// One of the two checks of an entry, and its progress step. A failing probe counts as the
// check holding; then a failure numbered 52 (no disc) takes the step back.
void CopyEngine::CheckAndAdvance(const Text& I, const Text& D, Boolean installed_before) {
  CopyState& s = state;
  if (Holds([&] {  // 1 / 8: I first, then D; both are asked
        const Boolean installed = FileExists(sys_, I);
        const Boolean on_disc = FileExists(sys_, D);
        return (Is(installed, installed_before) & Is(on_disc, kTrue)) != kFalse;
      })) {
    Step([&] { s.novel = kTrue; });                                           // 2 / 9
    if (Holds([&] { return err_.number() == error::kDeviceUnavailable; })) {  // 3 / 10
      Step([&] { s.novel = kFalse; });                                        // 4 / 11
    }
  } else {
    Step([&] { s.novel = kFalse; });  // 5 / 12
  }
  if (Holds([&] { return s.novel == kTrue; })) AdvanceProgress();  // 6 / 13
}

void CopyEngine::AdvanceProgress() {
  CopyState& s = state;
  Step([&] { s.szazalek = Add16(s.szazalek, 1); });  // A1
  Step([&] {                                         // A2
    progress_.SetPercentText(Percentage(s.szazalek, sys_.DecimalSeparator()) + texts::kPercent);
  });
  Step([&] { progress_.SetBarWidth(static_cast<float>(Mul16(s.szazalek, kBarStepTwips))); });  // A3
  Step([&] { progress_.Repaint(); });                                                          // A4
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

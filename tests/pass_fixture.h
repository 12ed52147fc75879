// A machine (the double, or one derived from it), the two recorded displays and the engine,
// ready for a pass.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/copy_engine.h"
#include "tests/fake_machine.h"

namespace kestovar::testing {

template <class Machine>
class PassTestOn : public ::testing::Test {
 protected:
  bool Pass() { return PassEndsTheProgram(engine); }

  // The journal lines that start with prefix, without it.
  std::vector<std::string> Lines(std::string_view prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : machine.journal) {
      if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
    }
    return lines;
  }

  // "0%", then n × 3.125 % for each of the given steps, as printf-style %g writes it.
  static std::vector<std::string> PercentTexts(int first, int last) {
    std::vector<std::string> texts{"0%"};
    for (int n = first; n <= last; ++n) {
      std::ostringstream text;
      text << n * 3.125 << '%';
      texts.push_back(text.str());
    }
    return texts;
  }
  static std::vector<std::string> BarWidths(int first, int last) {
    std::vector<std::string> widths;
    for (int n = first; n <= last; ++n) widths.push_back(std::to_string(150 * n));
    return widths;
  }

  Machine machine;
  RecordingProgress progress{machine.journal};
  RecordingList list{machine.journal};
  CopyEngine engine{machine, progress, list};
};

using PassTest = PassTestOn<FakeMachine>;

inline constexpr char kSuccessBox[] =
    "box 0 Sikeres másolás! Minden fájl sikeresen felmásolva a CD-ről!";
inline constexpr char kNoDrivesBox[] = "box 16 - No Drives were found!";
inline constexpr char kReportHeader[] = "A következő fájlok másolása nem sikerült: \r\n\r\n";

}  // namespace kestovar::testing

// The copy engine on a machine held in memory, pass by pass, against outlines of what it showed.
#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <map>
#include <sstream>

#include "engine/copy_engine.h"
#include "engine/probes.h"
#include "engine/checked16.h"

namespace kestovar {
namespace {

struct Ended {};
const Text kAssault = u"\\DATA\\ASSAULT.TR2";
std::string A(std::u16string_view ascii) { return std::string(ascii.begin(), ascii.end()); }

// Progress step n as shown: n × 3.125 % written shortest with the user's separator, the bar
// at 150n while that fits 16 bits, a repaint.
std::string Step(int n, const Text& separator) {
  std::string text = (std::ostringstream() << ' ' << std::setprecision(10) << n * 3.125).str();
  std::replace(text.begin(), text.end(), '.', char(separator[0]));
  return text + (150 * n < 32768 ? "% bar" + std::to_string(150 * n) : "%") + " repaint";
}

// Files and folders ("/") by path; drives by letter in list order, after C: CD-ROM drives, D:
// to J: holding a game disc whose files hold their names. A fault: listings 'd', copies 'c' (by
// source) or both 0; part of the path; error number; from how many files copied on.
struct Machine : Services, ProgressDisplay, MissingList {
  Machine() {
    for (char16_t d = u'D'; d <= u'J'; ++d)
      for (const auto& e : kCatalogue) files[DiscPath({d, u':', u'\\'}, e)] = A(e.disc_relative);
  }
  std::map<Text, std::string> files;
  Text dir = u"C:\\Játékok\\Brenmira", sep = u".", list, probes;  // probes: "path|" per listing
  std::string drives = "ACD", types, journal;  // the journal: " token" for each thing shown
  std::vector<std::tuple<char, Text, int, int>> faults;
  int cwd_fault = 0, copies = 0, copied = 0, query_fails = 0, added_drive = 0;
  CopyEngine engine{*this, *this, *this};

  void Lose(Text part) {
    std::erase_if(files, [&](auto f) { return f.first.find(part) != part.npos; });
  }
  void Old(std::u16string_view part) {  // older copies installed before
    for (const auto& e : kCatalogue)
      if (e.disc_relative.find(part) != Text::npos) files[InstallPath(dir, e)] = "old";
  }
  void Fail(char op, int n, Text part = u"", int k = 0) { faults.emplace_back(op, part, n, k); }
  int Failing(char op, const Text& path) const {
    for (const auto& [on, part, number, after] : faults)
      if ((!on || on == op) && path.find(part) != Text::npos && copied >= after) return number;
    return 0;
  }

  Text CurrentDirectory() override {
    if (cwd_fault) throw Failure{cwd_fault};
    return dir;
  }
  Text Dir(const Text& path, int attributes) override {
    probes += path + u"|";
    if (const int number = Failing('d', path)) throw Failure{number};
    return files.count(path) && (attributes == kWithFolders || files.at(path) != "/") ? path : u"";
  }
  void FileCopy(const Text& source, const Text& destination) override {
    ++copies;
    if (const int number = Failing('c', source)) throw Failure{number};
    files[destination] = files.at(source);
    ++copied;
  }
  void MakeDirectory(const Text& path) override { files[path] = "/"; }
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override {
    std::string all;
    for (const char d : drives) all += {d, ':', '\\', '\0'};
    if (size == 0 && added_drive) {  // between the two queries
      drives += 'E';
      added_drive = 0;
    }
    if (size > 0 && query_fails) return 0;
    if (size <= all.size()) return all.size() + 1;
    std::copy(all.begin(), all.end(), buffer);
    buffer[all.size()] = '\0';
    return all.size();
  }
  unsigned GetDriveTypeA(const char* r) override {
    types += *r;
    return *r > 'C' ? 5 : 3;
  }
  int ShowMessage(const Text& text, int style, const std::optional<Text>& title) override {
    const bool ok = style == 0 && title == u"Sikeres másolás!" &&
                    text == u"Minden fájl sikeresen felmásolva a CD-ről!";
    const bool none = style == 16 && !title && text == u"No Drives were found!";
    journal += ok ? " ok" : none ? " nodrives" : " box?";
    return 1;
  }
  [[noreturn]] void End() override { throw Ended{}; }
  Text DecimalSeparator() override { return sep; }
  void Show() override { journal += " show"; }
  void Repaint() override { journal += " repaint"; }
  void SetPercentText(const Text& text) override { journal += " " + A(text); }
  void SetBarWidth(float twips) override { journal += " bar" + std::to_string(int(twips)); }
  void SetText(const Text& text) override {
    list = text;
    journal += " list";
  }
};

// Sets up and runs one pass with these drives; checks that the list names exactly the files absent
// (or unreadable) afterwards, in catalogue order, and that both folders exist. Returns "<drives
// typed>/<copies tried>" and what was shown after "0% show repaint": "1-32" for steps 1 to 32,
// "success" for 100 %, full bar and success box, the list by its files, catalogue neighbours as
// "first-last".
std::string Outline(Machine& m, const std::string& drives,
                    const std::function<void(Machine&)>& setup) {
  m.drives = drives;
  setup(m);
  m.journal.clear();
  m.types.clear();
  m.list.clear();
  m.copies = 0;
  try {
    m.engine.Masol();
  } catch (const Ended&) {
    m.journal += " end";
  }
  std::string names, absent;
  for (int i = 0, last = -2, run = 0; i < 32; ++i) {
    const Text path = InstallPath(m.dir, kCatalogue[i]), name(kCatalogue[i].ReportName());
    if (m.files.count(path) && !m.Failing('d', path)) continue;
    names += A(name) + "\r\n";
    if (last == i - 1 && run) absent.erase(absent.rfind('-'));  // the run goes on
    run = last == i - 1;
    last = i;
    absent += (run ? "-" : " ") + A(name);
  }
  EXPECT_TRUE(m.list.empty() || A(m.list).ends_with("\r\n\r\n" + names)) << A(m.list);
  EXPECT_TRUE(m.files.count(m.dir + u"\\DATA") && m.files.count(m.dir + u"\\FMV"));
  std::string rest = m.journal.starts_with(" 0% show repaint") ? m.journal.substr(16) : m.journal;
  int n = 0;
  while (rest.starts_with(Step(n + 1, m.sep))) {
    ++n;
    rest.erase(0, Step(n, m.sep).size());
  }
  if (rest.starts_with(" 100% bar4800 ok")) rest.replace(0, 16, " success");
  if (rest.ends_with(" list")) rest += ":" + absent;
  return m.types + "/" + std::to_string(m.copies) + (n ? " 1-" + std::to_string(n) : "") + rest;
}

TEST(CopyPass, Scenarios) {
  using M = Machine&;
  const std::string all = " list: ASSAULT.TR2-MS.RPL", late = "-LANDING.RPL MODERN.RPL-MS.RPL";
  // A name starting with "+" is a retry: a further pass on the same machine.
  std::vector<std::tuple<std::string, std::string, std::function<void(M)>, std::string>> rows = {
      {"TypicalRun", "ACD", [](M) {}, "ACD/32 1-32 success end"},
      {"NoDrives", "", [](M) {}, "/0 nodrives" + all},
      {"+DriveListLost", "D", [](M m) { m.query_fails = true; }, "/0 nodrives" + all},
      {"NoCdromDrive", "ABC", [](M) {}, "ABC/0" + all},
      {"NoMedia", "CDEF", [](M m) { m.Fail(0, 52, u"D:"); }, "CDE/64 1-31 success end"},
      {"TwoDiscsOldCopies", "DE", [](M m) { m.Old(u""); }, "D/32 1-32 success end"},
      {"AllInstalledBefore", "ACD", [](M m) { m.Old(u""); }, "A/0 success end"},
      {"NoFmv", "ACD", [](M m) { m.Lose(u"D:\\FMV"); }, "ACD/24 1-24 list: ANCIENT.RPL-MS.RPL"},
      {"+Elsewhere", "E",
       [](M m) {
         m.Lose(u"E:" + kAssault);
         m.dir = u"C:\\Másik";
       },
       "E/31 1-31 list: ASSAULT.TR2"},
      {"+TwoDiscsComma", "DF",
       [](M m) {
         m.sep = u",";
         m.dir = u"C:\\Harmadik";
       },
       "DF/56 1-56 success end"},
      {"NoTitle", "ACD", [](M m) { m.Lose(u"TITLE"); }, "ACD/31 1-31 success list: TITLE.TR2"},
      {"+DirLost", "", [](M m) { m.cwd_fault = 71; }, "/0 nodrives list: TITLE.TR2"},
      {"Unreadable", "ACD", [](M m) { m.Fail('d', 52, m.dir + kAssault); },
       "ACD/32 1-31 list: ASSAULT.TR2"},
      {"+Unreadable57", "ACD",
       [](M m) {
         m.faults.clear();
         m.Fail('d', 57, m.dir + kAssault);
       },
       "ACD/32 1-33 list: ASSAULT.TR2"},
      {"Folder", "ACD", [](M m) { m.files[u"D:" + kAssault] = "/"; },
       "ACD/31 1-32 list: ASSAULT.TR2"},
      {"DiscProbe52", "ACD", [](M m) { m.Fail('d', 52, u"D:" + kAssault); },
       "ACD/32 1-30 success end"},
      {"DiscProbe57", "ACD", [](M m) { m.Fail('d', 57, u"D:" + kAssault); },
       "ACD/32 1-33 success end"},
      {"CopyFails52", "ACD", [](M m) { m.Fail('c', 52, kAssault); },
       "ACD/32 1-31 list: ASSAULT.TR2"},
      {"+CopyFails52Again", "ACD", [](M) {}, "ACD/32 1-32 list: ASSAULT.TR2"},
      {"SevenDiscs", "DEFGHIJ", [](M m) { m.Fail('c', 70); }, "DEFGHIJ/224 1-224" + all},
  };
  // The disc taken out after some files, or the destination refusing more; LOGO.RPL was there.
  for (const auto& [name, op, part, number, after, outline] :
       std::initializer_list<std::tuple<std::string, char, Text, int, int, std::string>>{
           {"DiscOutAfter1", 0, u"D:", 52, 1, "ACD/32 1-1 list: BOAT.TR2" + late},
           {"DiscOutAfter17", 0, u"D:", 52, 17, "ACD/32 1-17 list: RIG.TR2" + late},
           {"DiscOutAfter31", 0, u"D:", 52, 31, "ACD/32 1-31 list: MS.RPL"},
           {"DestinationFull70", 'c', u"", 70, 20, "ACD/32 1-32 list: UNWATER.TR2" + late},
           {"DestinationFull61", 'c', u"", 61, 20, "ACD/32 1-32 list: UNWATER.TR2" + late},
           {"DestinationFull57", 'c', u"", 57, 20, "ACD/32 1-32 list: UNWATER.TR2" + late}}) {
    rows.push_back({name, "ACD",
                    [=](M m) {
                      m.Old(u"LOGO");
                      m.Fail(op, number, part, after);
                    },
                    outline});
    rows.push_back({"+DiscBack", "ACD", [](M m) { m.faults.clear(); }, "ACD/32 1-32 success end"});
  }
  std::optional<Machine> m;
  for (const auto& [name, drives, setup, outline] : rows) {
    if (name[0] != '+') m.emplace();
    SCOPED_TRACE(name);
    EXPECT_EQ(Outline(*m, drives, setup), outline);
  }
}

// The drive list keeps the size first asked for. Each file is probed installed, on the disc,
// installed, on the disc, then its disc copy listed; paths after a drive root keep both
// backslashes. Without UNWATER.TR2 the pass announces success but does not end.
TEST(Probes, DriveListAndProbeOrderAtADriveRoot) {
  Machine m;
  EXPECT_EQ(GetDriveStrings(m), Text(u"A:\\\0C:\\\0D:\\\0\0", 13));
  m.added_drive = true;  // no room for it in the size first asked for: all NULs
  EXPECT_EQ(GetDriveStrings(m), Text(13, u'\0'));
  const auto setup = [](Machine& m) {
    m.dir = u"C:\\";
    m.Lose(u"UNWATER");
  };
  EXPECT_EQ(Outline(m, "D", setup), "D/31 1-31 success list: UNWATER.TR2");
  const Text i = u"C:\\\\DATA\\ASSAULT.TR2|", d = u"D:\\DATA\\ASSAULT.TR2|";
  const Text order = u"C:\\\\DATA|C:\\\\FMV|" + i + d + i + d + d + u"C:\\\\DATA\\BOAT.TR2|";
  EXPECT_EQ(m.probes.substr(0, order.size()), order);
}

TEST(Arithmetic, OverflowFailsWith6AndPercentagesAreShortest) {
  ErrorState err;
  for (auto overflow :
       {+[] { Add16(32767, 1); }, +[] { Mul16(219, 150); }, +[] { Add16(-32768, -1); }}) {
    err.Clear();
    step(err, overflow);
    EXPECT_EQ(err.number(), 6);
  }
  for (std::int16_t n : {0, 1, 2, 4, 8, 31, 32, 33, 32000, 32767})
    for (const char16_t* sep : {u".", u","})
      EXPECT_TRUE(Step(n, sep).starts_with(" " + A(Percentage(n, sep)) + "% ")) << Step(n, sep);
}

}  // namespace
}  // namespace kestovar

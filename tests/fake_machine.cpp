#include "tests/fake_machine.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/resumption.h"

namespace kestovar::testing {

// Error numbers the double answers with besides 52.
constexpr int kPathAccess = 75;  // folder exists already
constexpr int kPathNotFound = 76;

// The standard library converts between UTF-16 and UTF-8 for paths.
std::string Utf8(const Text& text) { return fs::path(text).string(); }
Text Utf16(const std::string& utf8) { return fs::path(utf8).u16string(); }

FakeMachine::FakeMachine() {
  std::string pattern = (fs::temp_directory_path() / "kestovar-XXXXXX").string();
  top_ = mkdtemp(pattern.data());
  MoveTo(u"C:\\Játékok\\Brenmira");
}

void FakeMachine::MoveTo(const Text& dir) {
  fs::create_directories(Host(dir));
  current_directory = dir;
}

FakeMachine::~FakeMachine() {
  std::error_code ignored;
  fs::remove_all(top_, ignored);
}

fs::path FakeMachine::AddDrive(char letter, std::uint32_t type, bool has_media) {
  drives_.push_back({letter, type, has_media});
  const fs::path root = top_ / std::string(1, letter);
  if (has_media) fs::create_directories(root);
  return root;
}

const FakeMachine::Drive* FakeMachine::Find(const Text& windows_path) const {
  if (windows_path.size() < 2 || windows_path[1] != u':') return nullptr;
  for (const Drive& drive : drives_) {
    if (drive.letter == std::toupper(static_cast<int>(windows_path[0]))) return &drive;
  }
  return nullptr;
}

fs::path FakeMachine::Host(const Text& windows_path) const {
  std::string rest = Utf8(windows_path.substr(2));
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return fs::path(top_ / std::string(1, static_cast<char>(windows_path[0]))).concat(rest);
}

void FakeMachine::PutDisc(char letter, const std::vector<std::u16string_view>& leave_out) {
  for (const CatalogueEntry& entry : kCatalogue) {
    if (std::find(leave_out.begin(), leave_out.end(), entry.disc_relative) != leave_out.end()) {
      continue;
    }
    const fs::path file =
        Host(Text{static_cast<char16_t>(letter), u':', u'\\'} + Text(entry.disc_relative));
    fs::create_directories(file.parent_path());
    std::ofstream(file) << Utf8(Text(entry.disc_relative));
  }
}

void FakeMachine::Install(const std::vector<std::u16string_view>& disc_relative_paths) {
  for (const std::u16string_view path : disc_relative_paths) {
    const fs::path file = Host(current_directory + u'\\' + Text(path));
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "installed before";
  }
}

void FakeMachine::InstallAll() {
  for (const CatalogueEntry& entry : kCatalogue) Install({entry.disc_relative});
}

bool FakeMachine::Installed(const CatalogueEntry& entry) const {
  return fs::is_regular_file(Host(InstallPath(current_directory, entry)));
}

Text FakeMachine::CurrentDirectory() {
  if (fail_current_directory) throw Failure{*fail_current_directory};
  return current_directory;
}

Text FakeMachine::Dir(const Text& path, int attributes) {
  listings.push_back(path);
  if (const auto it = fail_listing.find(path); it != fail_listing.end()) throw Failure{it->second};
  const Drive* drive = Find(path);
  if (drive != nullptr && !drive->has_media) throw Failure{error::kDeviceUnavailable};
  const fs::path host = Host(path);
  const bool matches =
      fs::is_regular_file(host) || (attributes == kWithFolders && fs::is_directory(host));
  return matches ? Utf16(host.filename().string()) : Text();
}

void FakeMachine::FileCopy(const Text& source, const Text& destination) {
  copies.push_back(source);
  const Drive* from = Find(source);
  if (from != nullptr && !from->has_media) throw Failure{error::kDeviceUnavailable};
  if (const auto it = fail_copy_from.find(source); it != fail_copy_from.end()) {
    throw Failure{it->second};
  }
  if (fail_every_copy) throw Failure{*fail_every_copy};
  std::error_code failed;
  fs::copy_file(Host(source), Host(destination), fs::copy_options::overwrite_existing, failed);
  if (failed) throw Failure{kPathNotFound};
}

void FakeMachine::MakeDirectory(const Text& path) {
  std::error_code failed;
  if (!fs::create_directory(Host(path), failed)) {
    throw Failure{failed ? kPathNotFound : kPathAccess};
  }
}

std::uint32_t FakeMachine::GetLogicalDriveStringsA(std::uint32_t size, char* buffer) {
  if (++drive_list_queries_ % 2 == 0 && fail_second_drive_query) return 0;
  std::string list;
  for (const Drive& drive : drives_) list += std::string{drive.letter, ':', '\\', '\0'};
  const auto needed = static_cast<std::uint32_t>(list.size() + 1);
  if (size < needed) return needed;
  std::memcpy(buffer, list.c_str(), needed);
  return needed - 1;
}

std::uint32_t FakeMachine::GetDriveTypeA(const char* root) {
  drive_type_queries.emplace_back(root);
  const Drive* drive = Find(Utf16(root));
  return drive == nullptr ? 1 : drive->type;  // 1: no such root
}

int FakeMachine::ShowMessage(const Text& text, int style, const std::optional<Text>& title) {
  journal.push_back("box " + std::to_string(style) + " " + (title ? Utf8(*title) : "-") + " " +
                    Utf8(text));
  return 1;
}

void FakeMachine::End() {
  journal.push_back("end");
  throw ProgramEnded{};
}

void RecordingProgress::SetBarWidth(float twips) {
  std::ostringstream width;
  width << twips;
  journal_.push_back("bar " + width.str());
}

void RecordingList::SetText(const Text& new_text) {
  text = new_text;
  journal_.push_back("list " + Utf8(new_text));
}

}  // namespace kestovar::testing

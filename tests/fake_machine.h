// A test double of the platform that behaves like a small machine: lettered drives whose roots
// are real temporary folders, real files, and failures injected where a test wants them.
// Everything the engine shows or asks is written to one journal, in order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/displays.h"
#include "platform/services.h"
#include "tests/program_end.h"

namespace kestovar::testing {

namespace fs = std::filesystem;

std::string Utf8(const Text& text);
Text Utf16(const std::string& utf8);

class FakeMachine : public Services {
 public:
  FakeMachine();
  ~FakeMachine() override;

  // A drive in the drive list, in the order added. A drive without media (a CD-ROM drive with
  // no disc) fails every listing and copy with 52. Returns the folder that is its root.
  // Letters not in the list still work as paths, like fixed drives.
  fs::path AddDrive(char letter, std::uint32_t type, bool has_media = true);
  // The host folder or file a Windows path ("D:\DATA\X.TR2") stands for.
  fs::path Host(const Text& windows_path) const;

  // A game disc in that drive's root: every catalogue file but the ones named, each holding
  // its own disc-relative path as content.
  void PutDisc(char letter, const std::vector<std::u16string_view>& leave_out = {});
  // Catalogue files already in the installation directory (creating DATA and FMV).
  void Install(const std::vector<std::u16string_view>& disc_relative_paths);
  void InstallAll();
  // Whether the installation directory holds this catalogue file (not a folder).
  bool Installed(const CatalogueEntry& entry) const;

  // Failure injection.
  std::optional<int> fail_current_directory;
  std::map<Text, int> fail_listing;    // path -> error number, every listing of it
  std::map<Text, int> fail_copy_from;  // source -> error number; the destination stays
  std::optional<int> fail_every_copy;
  bool fail_second_drive_query = false;

  // Makes dir (on any letter) the current directory, creating its folder.
  void MoveTo(const Text& dir);
  Text current_directory;
  Text decimal_separator = u".";

  // What happened, in order: "text 3.125%", "bar 150", "show", "repaint", "box 16 - title -
  // text", "list ...", "end". The displays below write here too.
  std::vector<std::string> journal;
  std::vector<Text> listings;  // every path listed, in order
  std::vector<Text> copies;    // every copy attempted, by source
  std::vector<std::string> drive_type_queries;

  // Services
  Text CurrentDirectory() override;
  Text Dir(const Text& path, int attributes) override;
  void FileCopy(const Text& source, const Text& destination) override;
  void MakeDirectory(const Text& path) override;
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override;
  std::uint32_t GetDriveTypeA(const char* root) override;
  int ShowMessage(const Text& text, int style, const std::optional<Text>& title) override;
  [[noreturn]] void End() override;
  Text DecimalSeparator() override { return decimal_separator; }

 private:
  struct Drive {
    char letter;
    std::uint32_t type;
    bool has_media;
  };
  const Drive* Find(const Text& windows_path) const;

  fs::path top_;
  std::vector<Drive> drives_;
  int drive_list_queries_ = 0;
};

class RecordingProgress : public ProgressDisplay {
 public:
  explicit RecordingProgress(std::vector<std::string>& journal) : journal_(journal) {}
  void Show() override { journal_.push_back("show"); }
  void Repaint() override { journal_.push_back("repaint"); }
  void SetPercentText(const Text& text) override { journal_.push_back("text " + Utf8(text)); }
  void SetBarWidth(float twips) override;

 private:
  std::vector<std::string>& journal_;
};

class RecordingList : public MissingList {
 public:
  explicit RecordingList(std::vector<std::string>& journal) : journal_(journal) {}
  void SetText(const Text& text) override;
  Text text;  // as last set

 private:
  std::vector<std::string>& journal_;
};

}  // namespace kestovar::testing

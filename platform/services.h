// What the copy engine needs from the operating system. Every operation may fail by throwing
// a Failure with an error number; engine/resumption.h says how the engine goes on after one.
// (Names avoid the macros of <windows.h>.)
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestovar {

// A failed operation, carrying its error number (never 0).
struct Failure {
  int number;
};

// Texts are UTF-16 throughout; only the two drive queries speak 8-bit text.
using Text = std::u16string;

// 16-bit booleans: true is -1, false is 0, and nothing else.
using Boolean = std::int16_t;
inline constexpr Boolean kTrue = -1;
inline constexpr Boolean kFalse = 0;

// Attribute values of a directory listing.
inline constexpr int kOrdinaryFiles = 0;
inline constexpr int kWithFolders = 16;

// Drive type of a CD-ROM drive.
inline constexpr std::uint32_t kDriveCdrom = 5;

// Message box styles.
inline constexpr int kStyleOk = 0;
inline constexpr int kStyleCritical = 16;

class Services {
 public:
  virtual ~Services() = default;

  // Around each pass, for what an implementation keeps from one pass to the next.
  virtual void BeginPass() {}
  virtual void EndPass() {}

  // The current directory, as the system writes it (a drive root ends with a backslash).
  virtual Text CurrentDirectory() = 0;

  // The name of the first entry that matches path, or the empty text when nothing does.
  // attributes kOrdinaryFiles matches ordinary files only; kWithFolders folders as well.
  // Fails with 52 on a drive that is not ready or for a name that cannot be read.
  virtual Text Dir(const Text& path, int attributes) = 0;

  // Creates or replaces destination with a copy of source.
  virtual void FileCopy(const Text& source, const Text& destination) = 0;

  // Creates one folder.
  virtual void MakeDirectory(const Text& path) = 0;

  // With size 0: the characters the drive list needs, closing NUL included. With a buffer of
  // that size: writes "X:\<NUL>" per drive and one more NUL; returns 0 on failure.
  virtual std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) = 0;

  // The type of the drive with this root ("D:\"); kDriveCdrom for a CD-ROM drive.
  virtual std::uint32_t GetDriveTypeA(const char* root) = 0;

  // A modal message box; without a title it carries the program's title. Returns the button.
  virtual int ShowMessage(const Text& text, int style, const std::optional<Text>& title) = 0;

  // Ends the program at once.
  [[noreturn]] virtual void End() = 0;

  // The user's decimal separator.
  virtual Text DecimalSeparator() = 0;
};

}  // namespace kestovar

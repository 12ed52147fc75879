// What the copy engine says to the user, byte for byte.
#pragma once

namespace kestovar::texts {

inline constexpr char16_t kNoDrives[] = u"No Drives were found!";
inline constexpr char16_t kSuccess[] = u"Minden fájl sikeresen felmásolva a CD-ről!";
inline constexpr char16_t kSuccessTitle[] = u"Sikeres másolás!";
inline constexpr char16_t kMissingHeader[] = u"A következő fájlok másolása nem sikerült: ";
inline constexpr char16_t kLineBreak[] = u"\r\n";
inline constexpr char16_t kPercent[] = u"%";

}  // namespace kestovar::texts

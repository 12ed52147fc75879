// The 32 game files brought from the disc, in the order every walk over them takes.
#pragma once

#include <array>
#include <string_view>

#include "platform/services.h"

namespace kestovar {

// Which of the two halves of the installation a file belongs to; the pass ends its drive
// walk once both halves are installed. TITLE.TR2 and UNWATER.TR2 belong to neither.
enum class Group { kFirst, kSecond, kNone };

struct CatalogueEntry {
  std::u16string_view disc_relative;  // "DATA\ASSAULT.TR2": folder, backslash, file name
  Group group;

  // "ASSAULT.TR2": the name the missing-file report lists.
  std::u16string_view ReportName() const {
    return disc_relative.substr(disc_relative.find(u'\\') + 1);
  }
};

inline constexpr std::array<CatalogueEntry, 32> kCatalogue{{
    {u"DATA\\ASSAULT.TR2", Group::kFirst},  {u"DATA\\BOAT.TR2", Group::kFirst},
    {u"DATA\\CATACOMB.TR2", Group::kFirst}, {u"DATA\\CUT1.TR2", Group::kFirst},
    {u"DATA\\CUT2.TR2", Group::kFirst},     {u"DATA\\CUT3.TR2", Group::kFirst},
    {u"DATA\\CUT4.TR2", Group::kFirst},     {u"DATA\\DECK.TR2", Group::kFirst},
    {u"DATA\\EMPRTOMB.TR2", Group::kFirst}, {u"DATA\\FLOATING.TR2", Group::kFirst},
    {u"DATA\\HOUSE.TR2", Group::kFirst},    {u"DATA\\ICECAVE.TR2", Group::kFirst},
    {u"DATA\\KEEL.TR2", Group::kFirst},     {u"DATA\\LIVING.TR2", Group::kFirst},
    {u"DATA\\MONASTRY.TR2", Group::kFirst}, {u"DATA\\OPERA.TR2", Group::kFirst},
    {u"DATA\\PLATFORM.TR2", Group::kFirst}, {u"DATA\\RIG.TR2", Group::kSecond},
    {u"DATA\\SKIDOO.TR2", Group::kSecond},  {u"DATA\\TITLE.TR2", Group::kNone},
    {u"DATA\\UNWATER.TR2", Group::kNone},   {u"DATA\\VENICE.TR2", Group::kSecond},
    {u"DATA\\WALL.TR2", Group::kSecond},    {u"DATA\\XIAN.TR2", Group::kSecond},
    {u"FMV\\ANCIENT.RPL", Group::kSecond},  {u"FMV\\CRASH.RPL", Group::kSecond},
    {u"FMV\\END.RPL", Group::kSecond},      {u"FMV\\JEEP.RPL", Group::kSecond},
    {u"FMV\\LANDING.RPL", Group::kSecond},  {u"FMV\\LOGO.RPL", Group::kSecond},
    {u"FMV\\MODERN.RPL", Group::kSecond},   {u"FMV\\MS.RPL", Group::kSecond},
}};

// The installation directory followed directly by "\DATA\ASSAULT.TR2". Nothing is added or
// removed: a drive root as installation directory gives two backslashes in a row.
inline Text InstallPath(const Text& installation_directory, const CatalogueEntry& entry) {
  return installation_directory + u'\\' + Text(entry.disc_relative);
}

// The drive root ("D:\") followed directly by "DATA\ASSAULT.TR2".
inline Text DiscPath(const Text& drive_root, const CatalogueEntry& entry) {
  return drive_root + Text(entry.disc_relative);
}

}  // namespace kestovar

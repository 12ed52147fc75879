// Where a pass's time goes on Windows (or Wine) besides the bytes copied: each kind of call the
// pass makes, through the real services and the real progress window, timed over as many calls
// as one pass on one disc makes. Run in the installation folder with the disc in D:.
//
// Prints, for each of ROUNDS rounds (default 5): probes_ms (4 existence probes and 1 listing
// per file, nothing installed yet), copies_ms (32 file copies), checks_ms (the completeness
// test and the report: 62 probes of installed files), repaints_ms (33 progress steps: text,
// bar, repaint).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "engine/catalogue.h"
#include "engine/copy_engine.h"
#include "engine/probes.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/folyamat.h"

using namespace kestovar;

namespace {

double Now() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency);
}

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  Win32Services services;
  ui::Folyamat progress(GetModuleHandleW(nullptr));
  const Text here = services.CurrentDirectory();
  const Text disc = u"D:\\";
  CreateDirectoryW(Wide(here + u"\\DATA"), nullptr);
  CreateDirectoryW(Wide(here + u"\\FMV"), nullptr);
  progress.SetPercentText(u"0%");
  progress.Show();
  progress.Repaint();

  for (int round = 0; round < rounds; ++round) {
    for (const CatalogueEntry& entry : kCatalogue) DeleteFileW(Wide(InstallPath(here, entry)));

    double started = Now();
    for (const CatalogueEntry& entry : kCatalogue) {
      const Text I = InstallPath(here, entry), D = DiscPath(disc, entry);
      FileExists(services, I);
      FileExists(services, D);
      FileExists(services, I);
      FileExists(services, D);
      services.Dir(D, kOrdinaryFiles);
    }
    const double probes = Now() - started;

    started = Now();
    for (const CatalogueEntry& entry : kCatalogue) {
      services.FileCopy(DiscPath(disc, entry), InstallPath(here, entry));
    }
    const double copies = Now() - started;

    started = Now();
    for (int pass = 0; pass < 2; ++pass) {  // 30 for the completeness test, 32 for the report
      for (const CatalogueEntry& entry : kCatalogue) {
        if (pass == 1 || entry.group != Group::kNone)
          FileExists(services, InstallPath(here, entry));
      }
    }
    const double checks = Now() - started;

    started = Now();
    for (std::int16_t step = 1; step <= 33; ++step) {
      progress.SetPercentText(Percentage(step, u".") + u"%");
      progress.SetBarWidth(static_cast<float>(step * kBarStepTwips));
      progress.Repaint();
    }
    const double repaints = Now() - started;

    std::printf("probes_ms %.2f copies_ms %.2f checks_ms %.2f repaints_ms %.2f\n", probes, copies,
                checks, repaints);
  }
  return 0;
}

// The two windows as designed: geometry in twips (1440 to the inch), texts, colours. The
// toolkit code reads them from here and lays nothing out again when a window is resized.
#pragma once

namespace kestovar::ui {

struct Box {
  int left, top, width, height;  // twips, from the client area's top-left corner
};
struct Size {
  int width, height;
};
struct Rgb {
  unsigned char r, g, b;
};

// Twips to pixels at dpi dots per inch, rounded to the nearest pixel (15 twips per pixel at 96).
constexpr int Pixels(long long twips, int dpi) {
  return static_cast<int>((twips * dpi + 720) / 1440);
}

// The face the layout was drawn for, in both windows: the classic dialog font at 8 points (160
// twips), scaled to the screen like everything else. Not the user's message font, which on
// Vista to 11 is wider than the instruction line can hold.
inline constexpr char16_t kFontFace[] = u"MS Shell Dlg 2";
inline constexpr int kFontTwips = 160;

// The progress window.
namespace progress_window {
inline constexpr char16_t kTitle[] = u"Fájlok másolása a CD-ről";
inline constexpr Size kClient{5640, 1410};
inline constexpr Box tegla{410, 420, 15, 300};     // the bar: only its width changes
inline constexpr Box Shape1{345, 345, 4920, 450};  // the frame around it
inline constexpr Box foly{2160, 960, 855, 255};    // the percentage text
inline constexpr char16_t kFolyText[] = u"0 %";
inline constexpr Rgb kBarColour{0, 0, 192};
}  // namespace progress_window

// The main window, whose controls appear here in tab order.
namespace main_window {
inline constexpr char16_t kTitle[] = u"Hiba történt";
inline constexpr Size kClient{5535, 4590};
inline constexpr Box hianylista{120, 240, 5295, 3045};
inline constexpr char16_t kHianylistaText[] = u"Fájlok másolása a CD-ről\r\n";
inline constexpr Box cd_ujra{120, 3960, 2415, 495};
inline constexpr char16_t kCdUjraText[] = u"Újra";
inline constexpr Box kilep{3000, 3960, 2415, 495};
inline constexpr char16_t kKilepText[] = u"Kilépés";
inline constexpr Box Label1{240, 3480, 5415, 255};  // reaches past the right edge on purpose
inline constexpr char16_t kLabel1Text[] =
    u"Kérem helyezze be a megfelelő lemezt, majd nyomja meg az Újra gombot.";

inline constexpr char16_t kExitTitle[] = u"Kilépés";
inline constexpr char16_t kExitWarning[] =
    u"A telepítés nem zajlott le tökéletesen!  \r\n"
    u"A hiányzó fájlok pótlása nélkül a program nem fog hiba nélkül futni.\r\n"
    u"Megpróbálhatja újra telepíteni, vagy keresse fel a Kestovar Támogatás\r\n"
    u"valamely tagját.";
}  // namespace main_window

}  // namespace kestovar::ui

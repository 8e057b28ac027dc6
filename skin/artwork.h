#pragma once
// The program's button pictures and window pictures, drawn by code. Buttons come as strips of
// four states stacked vertically, each exactly the button's size: disabled, normal, mouse
// over, pressed (TKWImgBtn::SetPic). Corners outside a button's rounded shape are
// transparent, so the panel behind shows through.

#include <QImage>
#include <QString>

// The glyphs of the big command buttons (ArtBigButton's glyph argument).
enum TArtGlyph : int {
    GlyphCamera = 0,     // one snapshot: a camera
    GlyphContinuous = 1, // continuous snapshots: a camera with a repeat arc
    GlyphOptions = 2,    // a gear
    GlyphHelp = 3,       // a question mark
    GlyphAbout = 4,      // an "i"
};

// The number of states in every strip, and the strip row of each.
inline constexpr int ArtStates = 4;
enum TArtState : int { ArtDisabled = 0, ArtNormal = 1, ArtOver = 2, ArtPressed = 3 };

QImage ArtOpenButton();  // 40 x 41 per state: an eject mark
QImage ArtPlayButton();  // 38 x 41 per state
QImage ArtPauseButton(); // 38 x 41 per state
// 299 x 41 per state: a round glyph at the left and the label in white. The main window's
// buttons: BtnSnapO ("SNAPSHOT", GlyphCamera), BtnSnap ("CONTINUOUS SNAPSHOT",
// GlyphContinuous), BtnOptions ("OPTIONS", GlyphOptions), BtnHelp ("HELP", GlyphHelp),
// BtnAbout ("ABOUT", GlyphAbout). An unknown glyph draws no glyph.
QImage ArtBigButton(const QString& label, int glyph);
// 30 x 41 per state: the right end of a big button with a divider and a small arrow, laid over
// a big button's right end for a second action beside its own.
QImage ArtBigButtonEnd();
QImage ArtSaveGifButton();   // 39 x 39 per state
QImage ArtSaveThumbButton(); // 39 x 39 per state

// 292 x 45: the background of the playback control panel, with wells for the open button at
// x 3, the play/pause button at x 45 and a recessed track for the 192-pixel seek bar at x 94.
QImage ArtVideoControlPanel();
QImage ArtAboutPicture();    // 394 x 160: the program name "Framecatch" and a tag line
QImage ArtOptionsPicture();  // 120 x 224: the left picture of the options dialog
QImage ArtAppIcon(int size); // the program icon, a film frame with a capture mark; size x size
// 24 x 25, transparent around: a bracket joining two fields above each other, with a chain link
// on it (the GIF dialog's "Constrain Proportions" mark).
QImage ArtConstrainProportions();

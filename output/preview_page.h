#pragma once
// The GIF preview page without its window: the template, the filling of its placeholders and
// writing it into the program's private scratch folder, which no other user can enter.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace output {

// The 46 lines of the page (without line ends), as the export dialog keeps them.
QStringList GifPreviewTemplate();

struct TGifPreviewValues {
    QString GifPath; // the GIF file as written
    int Width = 0;
    int Height = 0;
    int Loops = 0; // as the user entered it (0 = endless), not the stored count
    int FrameCount = 0;
    QString SizeText; // kw::FileSizeText of the GIF
    // A video file (MP4, WebM): shown in a <video> element that plays at once, loops and has
    // its controls, in place of the <img>; everything else on the page as for a GIF.
    bool Video = false;
};

// Replaces, on each placeholder's own line only, the first occurrence (letters compared
// without regard to case) of:
//   line 15 {{GIFTableName}}  Height + 30
//   line 16 {{GIFName}}       the GIF as a file URL: after the template's "file:///" comes
//                             the absolute path without its leading '/', every byte other
//                             than A-Z a-z 0-9 - . _ ~ / percent-encoded (UTF-8), so that
//                             /tmp/a b&c.gif gives <img src="file:///tmp/a%20b%26c.gif">
//   line 21 {{GIFName}}       the path as written, escaped for HTML (& < > ")
//   line 25 {{GIFSize}}, 29 {{GIFWidth}}, 33 {{GIFHeight}}, 37 {{GIFLoops}},
//   line 41 {{GIFTotalFrames}} the values in decimal, SizeText as it is.
// A value is never searched again, so a path holding placeholder text stays as it is. With
// Video, line 16's <img src="..."> becomes <video src="..." autoplay loop muted
// controls></video>.
// Lines a shorter template lacks are skipped.
QStringList FillGifPreviewPage(const QStringList& templateLines, const TGifPreviewValues& values);

// The page as bytes: each line in UTF-8 followed by CR LF, the last one too; no byte-order mark.
QByteArray GifPreviewPageBytes(const QStringList& lines);

// kw::PrivateCacheDir() + "/GIF-Preview.html".
QString GifPreviewPagePath();

// Fills the template and writes the page in place of the previous one (whatever was at its
// path, a link included, is removed first, never written through); returns its path. Throws
// kw::EFcError when the folder is not the user's alone or the page cannot be written.
QString WriteGifPreviewPageFile(const QStringList& templateLines, const TGifPreviewValues& values);

} // namespace output

#include "output/preview_page.h"

#include "codecs/codec_io.h"
#include "common/kw_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <unistd.h>

namespace output {

QStringList GifPreviewTemplate() {
    return {
        QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"),
        QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"),
        QStringLiteral("<title>GIF Image Preview</title>"),
        QStringLiteral("<style>"),
        QStringLiteral(
            "body {background-color:#EAF2EE; font-family: Tahoma, Helvetica, sans-serif; "
            "font-size: 14px; color: #555555; line-height: 200%;}"),
        QStringLiteral("table {background-color: #EAF2EE; border: 3px solid #D3E0DC; "
                       "border-spacing: 2px;}"),
        QStringLiteral(".title { text-align:right; font-weight: bold; width: 200px; "
                       "background-color: #D3E0DC; padding-right: 10px;}"),
        QStringLiteral(
            ".content { text-align: left; background-color: #D3E0DC; padding-left: 10px;}"),
        QStringLiteral(".style1 {color: #FF0000; font-size: 16px;}"),
        QStringLiteral("</style>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<table width=\"70%\" height=\"{{GIFTableName}}\" align=\"center\">"),
        QStringLiteral("    <tr><td align=\"center\"><img src=\"file:///{{GIFName}}\"></td></tr>"),
        QStringLiteral("</table><br />"),
        QStringLiteral("<table width=\"70%\" align=\"center\">"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">File Name:</td>"),
        QStringLiteral("        <td class=\"content\">{{GIFName}}</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">File Size:</td>"),
        QStringLiteral("        <td class=\"content\">{{GIFSize}}</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">GIF Width:</td>"),
        QStringLiteral("        <td class=\"content\">{{GIFWidth}}  pixels</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">GIF Height:</td>"),
        QStringLiteral("        <td class=\"content\">{{GIFHeight}} Pixels</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">Loop:</td>"),
        QStringLiteral(
            "        <td class=\"content\">{{GIFLoops}} times  (0 means loop forever)</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("    <tr>"),
        QStringLiteral("        <td class=\"title\">Total Frames:</td>"),
        QStringLiteral("        <td class=\"content\">{{GIFTotalFrames}}</td>"),
        QStringLiteral("    </tr>"),
        QStringLiteral("</table>"),
        QString(),
        QStringLiteral("</body>"),
        QStringLiteral("</html>"),
    };
}

namespace {

// The path part of the GIF's file URL as it follows "file:///" in the template.
QString UrlPathAfterSlashes(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    QByteArray encoded = QUrl::toPercentEncoding(absolute, "/");
    while (encoded.startsWith('/'))
        encoded.remove(0, 1);
    return QString::fromLatin1(encoded);
}

void ReplaceFirst(QStringList& lines, int lineNumber, const QString& placeholder,
                  const QString& value) {
    if (lineNumber < 1 || lineNumber > lines.size())
        return;
    QString& line = lines[lineNumber - 1];
    const qsizetype at = line.indexOf(placeholder, 0, Qt::CaseInsensitive);
    if (at >= 0)
        line.replace(at, placeholder.size(), value);
}

} // namespace

QStringList FillGifPreviewPage(const QStringList& templateLines, const TGifPreviewValues& v) {
    QStringList lines = templateLines;
    ReplaceFirst(lines, 15, QStringLiteral("{{GIFTableName}}"),
                 QString::number(std::int64_t(v.Height) + 30));
    ReplaceFirst(lines, 16, QStringLiteral("{{GIFName}}"), UrlPathAfterSlashes(v.GifPath));
    ReplaceFirst(lines, 21, QStringLiteral("{{GIFName}}"), v.GifPath.toHtmlEscaped());
    ReplaceFirst(lines, 25, QStringLiteral("{{GIFSize}}"), v.SizeText);
    ReplaceFirst(lines, 29, QStringLiteral("{{GIFWidth}}"), QString::number(v.Width));
    ReplaceFirst(lines, 33, QStringLiteral("{{GIFHeight}}"), QString::number(v.Height));
    ReplaceFirst(lines, 37, QStringLiteral("{{GIFLoops}}"), QString::number(v.Loops));
    ReplaceFirst(lines, 41, QStringLiteral("{{GIFTotalFrames}}"), QString::number(v.FrameCount));
    if (v.Video && lines.size() >= 16) {
        // The file URL is percent-encoded, so the tag ends at the first '>' after it starts.
        QString& line = lines[15];
        const qsizetype at = line.indexOf(QStringLiteral("<img "), 0, Qt::CaseInsensitive);
        const qsizetype end = at < 0 ? -1 : line.indexOf(QLatin1Char('>'), at);
        if (end >= 0)
            line.replace(at, end - at + 1,
                         QStringLiteral("<video ") + line.mid(at + 5, end - at - 5) +
                             QStringLiteral(" autoplay loop muted controls></video>"));
    }
    return lines;
}

QByteArray GifPreviewPageBytes(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

QString GifPreviewPagePath() {
    return kw::PrivateCacheDir() + QStringLiteral("/GIF-Preview.html");
}

QString WriteGifPreviewPageFile(const QStringList& templateLines, const TGifPreviewValues& values) {
    const QString path = GifPreviewPagePath();
    kw::ForcePrivateDir(QFileInfo(path).path());
    // The folder is this user's alone, so whatever is at the page's path is the program's own
    // scratch: it goes (a link as a link, its target untouched) and the page is written anew.
    ::unlink(QFile::encodeName(path).constData());
    codecs::WriteWholeFile(path, GifPreviewPageBytes(FillGifPreviewPage(templateLines, values)));
    return path;
}

} // namespace output

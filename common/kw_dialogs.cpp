#include "common/kw_dialogs.h"

#include "common/kw_color_portal.h"
#include "common/kw_guard.h"
#include "common/kw_meminfo.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

#include <iterator>
#include <vector>

#include <sys/statvfs.h>

namespace kw {

namespace {

// The hourglass of a running output belongs to the program's own windows: a message box or
// file dialog opened meanwhile shows the normal pointer, and the hourglass comes back after.
class TNormalPointer {
public:
    TNormalPointer() {
        while (const QCursor* cursor = QGuiApplication::overrideCursor()) {
            FSaved.push_back(*cursor);
            QGuiApplication::restoreOverrideCursor();
        }
    }
    ~TNormalPointer() {
        for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it)
            QGuiApplication::setOverrideCursor(*it);
    }
    TNormalPointer(const TNormalPointer&) = delete;
    TNormalPointer& operator=(const TNormalPointer&) = delete;

private:
    std::vector<QCursor> FSaved;
};

QMessageBox::Icon ToQtIcon(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Warning:
        return QMessageBox::Warning;
    case TMsgIcon::Error:
        return QMessageBox::Critical;
    case TMsgIcon::Question:
        return QMessageBox::Question;
    case TMsgIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

TMsgResult RealShowMessage(const TMessage& m) {
    TNormalPointer pointer;
    QWidget* owner = m.Owner ? m.Owner : QApplication::activeWindow();
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton yes = QMessageBox::Ok, preset = QMessageBox::Ok;
    if (m.Buttons == TMsgButtons::OkCancel) {
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    } else if (m.Buttons == TMsgButtons::YesNo) {
        buttons = QMessageBox::Yes | QMessageBox::No;
        yes = QMessageBox::Yes;
        preset = QMessageBox::No;
    }
    QMessageBox box(ToQtIcon(m.Icon), m.Caption, m.Text, buttons, owner);
    box.setDefaultButton(preset);
    if (!m.Details.isEmpty())
        box.setDetailedText(m.Details);
    return box.exec() == yes ? TMsgResult::Ok : TMsgResult::Cancel;
}

QString RealOpenFileName(const TFileDialogRequest& r) {
    TNormalPointer pointer;
    return QFileDialog::getOpenFileName(r.Owner, r.Title, r.InitialDir,
                                        QtFilterFromPairs(r.Filter));
}

QStringList RealOpenFileNames(const TFileDialogRequest& r) {
    TNormalPointer pointer;
    return QFileDialog::getOpenFileNames(r.Owner, r.Title, r.InitialDir,
                                         QtFilterFromPairs(r.Filter));
}

QString RealSaveFileName(TFileDialogRequest& r) {
    TNormalPointer pointer;
    const QStringList filters = QtFilterFromPairs(r.Filter).split(QStringLiteral(";;"));
    QString selected = filters.value(qBound(1, r.FilterIndex, int(filters.size())) - 1);
    // Files are replaced without asking: the callers append the extension themselves.
    const QString path = QFileDialog::getSaveFileName(r.Owner, r.Title, r.InitialDir,
                                                      filters.join(QStringLiteral(";;")), &selected,
                                                      QFileDialog::DontConfirmOverwrite);
    const int index = int(filters.indexOf(selected));
    r.FilterIndex = index >= 0 ? index + 1 : 1;
    return path;
}

// The folder chooser: Qt's own dialog, on every desktop, so that a typed folder that does not
// exist gets this program's refusal (Qt's dialog would answer first with a box of its own) and
// the dialog stays open; its "Create New Folder" button makes a folder where it looks.
class TFolderChooser : public QFileDialog {
public:
    TFolderChooser(QWidget* owner, const QString& text) : QFileDialog(owner, text) {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, true);
        setLabelText(QFileDialog::LookIn, text);
    }

    void accept() override {
        const QString chosen = selectedFiles().value(0);
        if (!QFileInfo(chosen).isDir()) {
            ErrorBox(this, QStringLiteral("Error"),
                     QStringLiteral("\"%1\" is an invalid path").arg(chosen));
            return;
        }
        QFileDialog::accept();
    }
};

QString RealBrowseForFolder(QWidget* owner, const QString& text) {
    TNormalPointer pointer;
    TFolderChooser dialog(owner, text);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

// Starts the program and watches it: an exit code other than 0 (xdg-open and the browser
// scripts say so when they find nothing to open the file with) or a crash calls failed. The
// process object lives until the program ends; one still running when Framecatch quits is
// left to run (the viewer it started stays open).
bool StartWatched(const QString& program, const QStringList& args, std::function<void()> failed) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    auto* process = new QProcess;
    process->setProgram(path);
    process->setArguments(args);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int code, QProcess::ExitStatus status) {
                         if ((code != 0 || status != QProcess::NormalExit) && failed)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash also ends in finished()
                         if (failed)
                             failed();
                         process->deleteLater();
                     });
    process->start();
    return true;
}

bool RealShellOpen(const QString& target, std::function<void()> failed) {
    // xdg-open decides as the desktop's own file manager does, and says when it found nothing.
    if (StartWatched(QStringLiteral("xdg-open"), {target}, std::move(failed)))
        return true;
    const QUrl url =
        QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    return QDesktopServices::openUrl(url);
}

bool RealStartProgram(const QString& program, const QStringList& args,
                      std::function<void()> failed) {
    return StartWatched(program, args, std::move(failed));
}

std::optional<QRgb> RealScreenPixel(QPoint pos) {
    QScreen* screen = QGuiApplication::screenAt(pos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    const QPoint local = pos - screen->geometry().topLeft();
    const QImage pixel = screen->grabWindow(0, local.x(), local.y(), 1, 1).toImage();
    if (pixel.isNull())
        return std::nullopt; // never a made-up black
    return pixel.pixel(0, 0);
}

void RealPickScreenColor(QWidget* owner, std::function<void(int, QRgb)> done) {
    // The portal places its picker over the window it names; on X11 that is the window's id.
    QString parent;
    if (owner && QGuiApplication::platformName() == QLatin1String("xcb"))
        parent = QStringLiteral("x11:") + QString::number(owner->window()->winId(), 16);
    PickColorThroughPortal(parent,
                           [done = std::move(done)](TPickResult r, QRgb c) { done(int(r), c); });
}

QSize RealScreenSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

qint64 RealAvailableMemory() {
    return MemInfoBytes("MemAvailable");
}

TDiskSpace RealDiskSpace(const QString& folder) {
    struct statvfs fs = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return {};
    return {qint64(fs.f_bavail) * qint64(fs.f_frsize), qint64(fs.f_blocks) * qint64(fs.f_frsize)};
}

qint64 RealChooseColor(QWidget* owner, QRgb initial) {
    const QColor color = QColorDialog::getColor(QColor::fromRgb(initial), owner);
    return color.isValid() ? qint64(color.rgb() & 0xFFFFFFu) : -1;
}

TDesktop& Current() {
    static TDesktop desktop = RealDesktop();
    return desktop;
}

} // namespace

TDesktop RealDesktop() {
    TDesktop d;
    d.ShowMessage = RealShowMessage;
    d.ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    d.OpenFileName = RealOpenFileName;
    d.OpenFileNames = RealOpenFileNames;
    d.SaveFileName = RealSaveFileName;
    d.BrowseForFolder = RealBrowseForFolder;
    d.ShellOpen = RealShellOpen;
    d.StartProgram = RealStartProgram;
    d.ScreenPixel = RealScreenPixel;
    d.PickScreenColor = RealPickScreenColor;
    d.ScreenSize = RealScreenSize;
    d.FontFamilies = [] { return QFontDatabase::families(); };
    d.ChooseColor = RealChooseColor;
    d.Beep = [] { QApplication::beep(); };
    d.AvailableMemory = RealAvailableMemory;
    d.DiskSpace = RealDiskSpace;
    return d;
}

TDesktop& Desktop() {
    return Current();
}

TDesktopOverride::TDesktopOverride(TDesktop replacement) : FSaved(Current()) {
    Current() = std::move(replacement);
}

TDesktopOverride::~TDesktopOverride() {
    Current() = FSaved;
}

TMsgResult ShowMessage(const TMessage& message) {
    return Desktop().ShowMessage(message);
}

void WarningBox(QWidget* owner, const QString& caption, const QString& text) {
    ShowMessage({owner, caption, text, TMsgIcon::Warning, TMsgButtons::Ok, QString()});
}

void ErrorBox(QWidget* owner, const QString& caption, const QString& text, const QString& details) {
    ShowMessage({owner, caption, text, TMsgIcon::Error, TMsgButtons::Ok, details});
}

void InfoBox(QWidget* owner, const QString& caption, const QString& text) {
    ShowMessage({owner, caption, text, TMsgIcon::Information, TMsgButtons::Ok, QString()});
}

bool OkCancelBox(QWidget* owner, const QString& caption, const QString& text) {
    return ShowMessage({owner, caption, text, TMsgIcon::Information, TMsgButtons::OkCancel,
                        QString()}) == TMsgResult::Ok;
}

bool YesNoBox(QWidget* owner, const QString& caption, const QString& text) {
    return ShowMessage({owner, caption, text, TMsgIcon::Question, TMsgButtons::YesNo, QString()}) ==
           TMsgResult::Ok;
}

int ShowModal(QDialog& dialog) {
    return Desktop().ShowModal(dialog);
}

bool SwallowEnterAndEscape(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    event->accept();
    return true;
}

namespace {

// Tries the openers from `step` on: the desktop's own, then these programs.
void OpenFrom(const QPointer<QWidget>& owner, const QString& path, int step) {
    static const char* const programs[] = {"xdg-open", "x-www-browser", "sensible-browser"};
    constexpr int steps = 1 + int(std::size(programs));
    TDesktop& d = Desktop();
    for (; step < steps; ++step) {
        auto next = [owner, path, step] { Guarded([&] { OpenFrom(owner, path, step + 1); }); };
        const bool started =
            step == 0 ? d.ShellOpen(path, next)
                      : d.StartProgram(QString::fromLatin1(programs[step - 1]), {path}, next);
        if (started)
            return;
    }
    WarningBox(owner, QStringLiteral("Warning"), NothingOpensText(path));
}

} // namespace

QString NothingOpensText(const QString& path) {
    return QStringLiteral("No program was found to open \"%1\".").arg(path);
}

void OpenWithShell(QWidget* owner, const QString& path) {
    OpenFrom(QPointer<QWidget>(owner), path, 0);
}

QString QtFilterFromPairs(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        const QString shown = QStringLiteral("(") + patterns.join(' ') + ')';
        // A label that already ends with its patterns, as most do ("GIF Image (*.gif)"), is
        // shown as it is: Qt takes the patterns from its last parentheses either way.
        entries << (parts[i].endsWith(shown) ? parts[i] : parts[i] + ' ' + shown);
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace kw

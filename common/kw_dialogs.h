#pragma once
// Everything the program asks of the user's desktop goes through TDesktop: message boxes,
// modal dialogs, file and folder choosers, opening files with the desktop's default program,
// the screen and the fonts. The real implementation talks to Qt and the desktop; tests put a
// recording fake in its place (TDesktopOverride), so no test ever blocks on a modal window.

#include <QPoint>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDialog;
class QKeyEvent;
class QWidget;

namespace kw {

enum class TMsgIcon { Information, Warning, Error, Question };
// YesNo answers Ok for Yes and Cancel for No.
enum class TMsgButtons { Ok, OkCancel, YesNo };
enum class TMsgResult { Ok, Cancel };

struct TMessage {
    QWidget* Owner = nullptr;
    QString Caption;
    QString Text;
    TMsgIcon Icon = TMsgIcon::Information;
    TMsgButtons Buttons = TMsgButtons::Ok;
    // For a developer: the cause behind the text (a decoder's message, a system error),
    // shown under the box's "Show Details..." button; empty for none.
    QString Details;
};

// A file-type filter in the "label|patterns|label|patterns" form; FilterIndex is 1-based.
// Space on the file system that holds a folder, in bytes; -1 where it cannot be told.
struct TDiskSpace {
    qint64 Free = -1;  // what an unprivileged program may still use
    qint64 Total = -1; // the file system's size
};

struct TFileDialogRequest {
    QWidget* Owner = nullptr;
    QString Title;
    QString InitialDir;
    QString Filter;
    int FilterIndex = 1;
};

struct TDesktop {
    std::function<TMsgResult(const TMessage&)> ShowMessage;
    // Shows a dialog modally and returns its result code.
    std::function<int(QDialog&)> ShowModal;
    // Empty result (or list) when the user cancels. SaveFileName writes the chosen filter
    // entry back into FilterIndex.
    std::function<QString(const TFileDialogRequest&)> OpenFileName;
    std::function<QStringList(const TFileDialogRequest&)> OpenFileNames;
    std::function<QString(TFileDialogRequest&)> SaveFileName;
    // Folder chooser showing Text above the tree; empty when cancelled.
    std::function<QString(QWidget* owner, const QString& text)> BrowseForFolder;
    // The desktop's default action on a path or address; true when it was handed on. The
    // program that took it may still find nothing to open it with: failed then runs later, on
    // the GUI thread (and never when the call said false).
    std::function<bool(const QString& target, std::function<void()> failed)> ShellOpen;
    // Starts a program; true when it started, failed as above when it ends reporting failure.
    std::function<bool(const QString& program, const QStringList& args,
                       std::function<void()> failed)>
        StartProgram;
    // The pixel on the screen; none when the screen cannot be read (a Wayland desktop gives a
    // program no pixels of other windows).
    std::function<std::optional<QRgb>(QPoint screenPos)> ScreenPixel;
    // Asks the desktop's own colour picker (the portal) and calls done later, on the GUI
    // thread, with TPickResult (as int: 0 picked, 1 cancelled, 2 no picker) and the colour.
    std::function<void(QWidget* owner, std::function<void(int result, QRgb colour)> done)>
        PickScreenColor;
    std::function<QSize()> ScreenSize;
    std::function<QStringList()> FontFamilies;
    // The colour chooser, starting on initial (0xRRGGBB); the chosen colour as 0xRRGGBB, or -1
    // when the user cancels.
    std::function<qint64(QWidget* owner, QRgb initial)> ChooseColor;
    std::function<void()> Beep;
    // Bytes of memory the system can still hand out without swapping; -1 when unknown.
    std::function<qint64()> AvailableMemory;
    // Free and total space of the file system that holds the folder.
    std::function<TDiskSpace(const QString& folder)> DiskSpace;
};

// The desktop in use; starts as the real one.
TDesktop& Desktop();
// The real desktop, for fakes that want to pass some calls through.
TDesktop RealDesktop();

// Replaces the desktop for its lifetime and puts the previous one back afterwards.
class TDesktopOverride {
public:
    explicit TDesktopOverride(TDesktop replacement);
    ~TDesktopOverride();
    TDesktopOverride(const TDesktopOverride&) = delete;
    TDesktopOverride& operator=(const TDesktopOverride&) = delete;

private:
    TDesktop FSaved;
};

TMsgResult ShowMessage(const TMessage& message);
// Modal boxes with one OK button and the warning, error or information icon.
void WarningBox(QWidget* owner, const QString& caption, const QString& text);
void ErrorBox(QWidget* owner, const QString& caption, const QString& text,
              const QString& details = QString());
void InfoBox(QWidget* owner, const QString& caption, const QString& text);
// Information icon with OK and Cancel; true for OK.
bool OkCancelBox(QWidget* owner, const QString& caption, const QString& text);
// Question icon with Yes and No (No the default); true for Yes.
bool YesNoBox(QWidget* owner, const QString& caption, const QString& text);

int ShowModal(QDialog& dialog);
// The settings windows' buttons are pressed with the mouse only: Enter and Escape press
// none of them. True, with the event accepted, for those keys; the window's key handler
// passes every other key on.
bool SwallowEnterAndEscape(QKeyEvent* event);

// Opens a file or address with the desktop's default program, then with xdg-open, then with
// a web browser, each next one when the one before could not start or ended in failure. When
// all of them fail, a warning names the path (NothingOpensText), so that the user knows where
// the written file is.
void OpenWithShell(QWidget* owner, const QString& path);
QString NothingOpensText(const QString& path);

// "label|patterns|..." to Qt's "label (p1 p2);;..." form.
QString QtFilterFromPairs(const QString& filter);

} // namespace kw

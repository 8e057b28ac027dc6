#pragma once
// What the three output windows share: their look, the extension rule of their save dialogs,
// the progress of a running output, and the busy scope that keeps the user's hands off a
// window while its output runs.

#include <QDialog>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <vector>

class QKeyEvent;
class QShowEvent;
class QLabel;
class QLineEdit;
class QWidget;
class TKWLinePanel;
class TTeButton;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeUpDown;

namespace output {

// The base of the output windows: a fixed dialog with only a close box, the client size
// given, the panels' dark grey and the program's font. Enter and Escape press no button.
class TOutputDialog : public QDialog {
    Q_OBJECT
public:
    TOutputDialog(QWidget* owner, const QString& caption, int width, int height);
    // Runs each time the program shows the window (not when the desktop restores it).
    virtual void FormShow() {}

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The bordered panels of the output windows: border width 1, lines #989792, black, black.
TKWLinePanel* MakeOutputPanel(QWidget* parent, const char* name);
// A white label at (left, top), bold for section and field titles.
QLabel* MakeOutputLabel(QWidget* parent, const QString& text, int left, int top, bool bold = false);

TTeButton* MakeOutputButton(QWidget* parent, const char* name, const QString& text, QRect rect);
TTeEdit* MakeOutputEdit(QWidget* parent, const char* name, QRect rect, const QString& text = {});
TTeRadioButton* MakeOutputRadio(QWidget* parent, const char* name, const QString& text, QPoint at);
// The "Source Frames:" panel of the sheet and GIF windows, docked at the top of the window:
// "All frames" (checked) at (22, 29) and "Selected frames" at (139, 29).
TKWLinePanel* MakeSourcePanel(QWidget* window, int height, TTeRadioButton*& all,
                              TTeRadioButton*& selected);
// Arrows for a number field, stepping within min..max. PlaceUpDown puts them inside the
// field's right end: left = field left + offset, top = field top + 2, 14 wide, field height - 4
// high; the field keeps its full width, its text stopping short of the arrows.
TTeUpDown* MakeOutputUpDown(QLineEdit* field, const char* name, int min, int max, int increment);
void PlaceUpDown(TTeUpDown* arrows, QLineEdit* field, QRect fieldRect, int offset);

// The chosen path with ext ('.' included) appended unless its extension, compared in lower
// case, already is ext: "sheet.JPG" stays, "sheet.png" becomes "sheet.png.jpg".
QString EnsureExtension(const QString& path, const QString& ext);

// The progress of an output over n items, whose work runs on a thread of its own so that the
// window never waits for it: the bar's range becomes 0 .. n - 1; Run() starts the work and,
// until it is done, this (the GUI) thread shows the last item the work reported and processes
// window messages at least every PumpMs milliseconds.
class TOutputProgress {
public:
    static constexpr int PumpMs = 15;
    TOutputProgress(TTeProgressBar* bar, int n);
    // Item i is done (or begun); callable from any thread.
    void Report(int i) { FReported.store(i, std::memory_order_relaxed); }
    // Returns when work is done, with the bar at the last item reported; rethrows what work
    // threw. work must not touch widgets.
    void Run(const std::function<void()>& work);

private:
    void Show();
    QPointer<TTeProgressBar> FBar;
    std::atomic<int> FReported{-1};
};

// While an output runs: the hourglass, the given buttons disabled, and every mouse press, key
// and close request aimed at the dialog swallowed, so that nothing the user does there starts
// anything or closes it while the output lets window messages through. Everything is put back
// when the scope ends, whether the output finished or failed, and the progress bar returns to 0.
class TOutputBusy : public QObject {
public:
    TOutputBusy(QWidget* dialog, std::initializer_list<QWidget*> buttons, TTeProgressBar* bar);
    ~TOutputBusy() override;
    TOutputBusy(const TOutputBusy&) = delete;
    TOutputBusy& operator=(const TOutputBusy&) = delete;

    // True while a scope is open on the dialog.
    static bool IsBusy(const QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FDialog;
    std::vector<std::pair<QPointer<QWidget>, bool>> FButtons; // and whether each was enabled
    QPointer<TTeProgressBar> FBar;
};

} // namespace output

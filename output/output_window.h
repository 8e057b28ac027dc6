#pragma once
// What the three output windows share: their look and the extension rule of their save
// dialogs. Their outputs run on the long-work engine (common/long_work.h), whose busy scope
// keeps the user's hands off a window while its output runs.

#include <QDialog>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

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

} // namespace output

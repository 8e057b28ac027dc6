#pragma once
// What the three output windows share beyond the settings windows' look (skin/settings_panel.h):
// their fields, their busy scope and the extension rule of their save dialogs. Their outputs run on
// the long-work engine (common/long_work.h), whose busy scope keeps the user's hands off a window
// while its output runs.

#include "common/busy_scope.h"
#include "skin/settings_panel.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

class QShowEvent;
class QLineEdit;
class QProgressBar;
class QWidget;
class TKWLinePanel;
class TTeEdit;
class TTeProgressBar;
class TTeRadioButton;
class TTeUpDown;

namespace output {

// The base of the output windows: a settings dialog of the client size given.
class TOutputDialog : public skin::TSettingsDialog {
    Q_OBJECT
public:
    TOutputDialog(QWidget* owner, const QString& caption, int width, int height);
    // Runs each time the program shows the window (not when the desktop restores it).
    virtual void FormShow() {}

protected:
    void showEvent(QShowEvent* event) override;
    // What the busy scope of the window's output works on: the buttons it turns off, the
    // Cancel that stays on and stops the output, the bar that follows the frames.
    void SetBusyParts(std::vector<QWidget*> disable, QWidget* cancel, QProgressBar* bar);
    // The busy scope of an output over count frames, made of those parts.
    kw::TBusySpec OutputBusy(int count) const;

private:
    kw::TBusySpec FBusyParts;
};

TTeEdit* MakeOutputEdit(QWidget* parent, const char* name, QRect rect, const QString& text = {});
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

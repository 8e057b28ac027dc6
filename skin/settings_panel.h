#pragma once
// The look the settings windows share (the options, the output windows, the editor's save
// prompt): a fixed dialog with only a close box, filled with the panels' grey and set in the
// program's font; bordered panels; white labels and captions; buttons Enter does not press.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

#include "skin/aqua.h"

class QKeyEvent;
class QLabel;
class QWidget;
class TKWLinePanel;
class TTeButton;
class TTeRadioButton;

namespace skin {

// A fixed-size dialog of the given client size with only a close box, its background filled
// with background, in the program's font.
void DressSettingsWindow(QDialog* window, const QString& caption, QSize size,
                         QRgb background = aqua::PanelDark);

// A dialog dressed so, on which Enter and Escape press no button.
class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    TSettingsDialog(QWidget* owner, const QString& caption, QSize size);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A bordered panel filled with colour, its border lines #989792, black, black.
TKWLinePanel* MakeSettingsPanel(QWidget* parent, const char* name, QRgb colour = aqua::PanelDark,
                                int borderWidth = 1);
// A white label at its natural size at (left, top), bold for section and field titles.
QLabel* MakeSettingsLabel(QWidget* parent, const QString& text, int left, int top,
                          bool bold = false);
// White caption text on what lies under it, for radio buttons and check boxes.
void SetWhiteCaption(QWidget* widget);
// A radio button with a white caption at its natural size at `at`.
TTeRadioButton* MakeSettingsRadio(QWidget* parent, const char* name, const QString& text,
                                  QPoint at);
// A button that Enter in a field does not press.
TTeButton* MakeSettingsButton(QWidget* parent, const char* name, const QString& text, QRect rect);

} // namespace skin

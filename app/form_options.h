#pragma once
// The options dialog: the interval of continuous capture, saved at once on OK. Enter and
// Escape press neither of its buttons.

#include "skin/settings_panel.h"

class QLabel;
class QLineEdit;
class TKWImgPanel;
class TKWLinePanel;
class TTeButton;

class TFormOptions : public skin::TSettingsDialog {
    Q_OBJECT
public:
    explicit TFormOptions(QWidget* owner);

    void FormCreate();
    void btn_okClick();
    void btn_cancelClick();

    TKWLinePanel* panel_left = nullptr;
    TKWImgPanel* ImageLeft = nullptr;
    TKWLinePanel* panel_content = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edit_msel = nullptr;
    QLabel* LabelMillisec = nullptr;
    QLabel* Label_comment = nullptr;
    TKWLinePanel* panel_bottom = nullptr;
    TTeButton* btn_ok = nullptr;
    TTeButton* btn_cancel = nullptr;
};

#pragma once
// The about box: a borderless window with the program's picture, its home page, contact and
// version; any click on it closes it.

#include <QDialog>

class QLabel;
class TKWImgPanel;
class TKWLinePanel;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner);

    TKWImgPanel* panel_help = nullptr;
    TKWLinePanel* panel_main = nullptr;
    QLabel* lb_homepage = nullptr;
    QLabel* lb_contact = nullptr;
    QLabel* lb_version = nullptr;

    static QString HomePage();

protected:
    void showEvent(QShowEvent* event) override;
};

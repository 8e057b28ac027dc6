#pragma once
// A panel that draws up to three one-pixel border lines in colours of its own. The border
// width decides how many lines are drawn (at most three; border pixels beyond the third line
// keep the panel's colour) and is also the inset of the area where children are laid out.
// A new panel has border width 0 and so shows no line.

#include "controls/kw_dock.h"

#include <QColor>
#include <QString>
#include <QWidget>

class TKWLinePanel : public QWidget {
    Q_OBJECT
public:
    explicit TKWLinePanel(QWidget* parent = nullptr);

    QColor BorderColor1() const { return FBorderColor1; } // outermost line
    void SetBorderColor1(const QColor& color);
    QColor BorderColor2() const { return FBorderColor2; }
    void SetBorderColor2(const QColor& color);
    QColor BorderColor3() const { return FBorderColor3; }
    void SetBorderColor3(const QColor& color);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int width);         // negative widths count as 0
    QColor Color() const { return FColor; } // background
    void SetColor(const QColor& color);
    QString Caption() const { return FCaption; } // centred, drawn unless blank
    void SetCaption(const QString& caption);

    // The panel's docking layout, created on first use.
    TDockLayout* Dock();

signals:
    void Resized();
    void Clicked(); // left button pressed and released over the panel

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor FBorderColor1{Qt::black};
    QColor FBorderColor2{Qt::black};
    QColor FBorderColor3{Qt::black};
    QColor FColor;
    int FBorderWidth = 0;
    QString FCaption;
    TDockLayout* FDock = nullptr;
    bool FLeftPressed = false;
};

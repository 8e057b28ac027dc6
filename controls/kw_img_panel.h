#pragma once
// The image panel paints a picture as its background, optionally see-through to its parent,
// and can hold other controls. TKWCustomPanel holds the behaviour; TKWImgPanel is the class
// the windows create.
//
// Transparent: the parent shows behind the panel, and the picture is drawn with every pixel
// of the colour of its bottom-left pixel left out. Not transparent: the panel is first filled
// with its colour, then the picture is drawn over it.
//
// AutoSize: when on and the picture holds an image, every change of the picture and every
// switching on sizes the panel: the width becomes the picture's width unless the panel is
// aligned Top, Bottom or Client, the height the picture's height unless it is aligned Left,
// Right or Client. The alignment is the one of the parent's docking layout when the panel is
// docked there, otherwise the one given to SetAlign.

#include "controls/kw_dock.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

enum class TKWDrawStyle { suiNormal, suiStretch, suiTile };

class TKWCustomPanel : public QWidget {
    Q_OBJECT
public:
    explicit TKWCustomPanel(QWidget* parent = nullptr);

    QImage Picture() const { return FPicture; }
    void SetPicture(const QImage& picture); // copies the picture, repaints
    TKWDrawStyle DrawStyle() const { return FDrawStyle; }
    void SetDrawStyle(TKWDrawStyle style);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption); // drawn unless blank, one line, vertically centred
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment alignment); // left, right or centre (the default)
    int BorderWidth() const { return contentsMargins().left(); }
    void SetBorderWidth(int width); // the inset of the children's area; draws nothing

    // The alignment AutoSize obeys. Docks the panel in its parent's docking layout when the
    // parent has one.
    TAlign Align() const;
    void SetAlign(TAlign align, QMargins margins = {});

    // The panel's own docking layout for its children, created on first use.
    TDockLayout* Dock();

signals:
    void Clicked(); // left button pressed and released over the panel
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PictureChanged();
    void ApplyAutoSize();

    QImage FPicture;
    QImage FDrawn; // the picture as drawn: with its transparent colour left out when Transparent
    TKWDrawStyle FDrawStyle = TKWDrawStyle::suiNormal;
    bool FTransparent = false;
    bool FAutoSize = false;
    QColor FColor;
    QString FCaption;
    Qt::Alignment FAlignment = Qt::AlignHCenter;
    TAlign FAlign = TAlign::None;
    TDockLayout* FDock = nullptr;
    bool FLeftPressed = false;
};

class TKWImgPanel : public TKWCustomPanel {
    Q_OBJECT
public:
    explicit TKWImgPanel(QWidget* parent = nullptr) : TKWCustomPanel(parent) {}
};

// The picture with every pixel of the colour of its bottom-left pixel made fully transparent
// (32-bit ARGB, premultiplied); a null image stays null.
QImage KWTransparentCopy(const QImage& picture);

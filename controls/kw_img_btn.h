#pragma once
// A push button drawn entirely from pictures, one per state: disabled, normal, mouse over and
// pressed. Either one strip holds the four states stacked vertically (each as high as the
// button, rows 0, H, 2H and 3H), or four single pictures do; the strip wins when it is set.
//
// The state shown: not enabled -> disabled; else Down -> pressed; else MouseIn -> mouse over;
// else normal. A HoldDown button is a toggle: it stays down after one click and springs back
// on the next; OnClick handlers read Down to tell the two apart. The click is raised on every
// left release that follows a left press on the button, wherever the pointer is then (the
// button holds the mouse from press to release). Right and middle buttons only raise
// OnMouseDown / OnMouseUp. While disabled the button reacts to nothing.
//
// Pictures with an alpha channel are drawn over the parent, so rounded artwork shows the
// panel behind it; opaque pictures are copied as they are. The button takes part in the tab
// order but draws no focus mark and has no keyboard activation.

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

class TKWImgBtn : public QWidget {
    Q_OBJECT
public:
    explicit TKWImgBtn(QWidget* parent = nullptr); // at (0, 0), 80 x 25

    // The pictures are copied; setting one repaints the button.
    QImage Pic() const { return FPic; }
    void SetPic(const QImage& strip);
    QImage PicDisable() const { return FPicDisable; }
    void SetPicDisable(const QImage& picture);
    QImage PicNormal() const { return FPicNormal; }
    void SetPicNormal(const QImage& picture);
    QImage PicMouseOver() const { return FPicMouseOver; }
    void SetPicMouseOver(const QImage& picture);
    QImage PicMouseDown() const { return FPicMouseDown; }
    void SetPicMouseDown(const QImage& picture);

    bool HoldDown() const { return FHoldDown; }
    // Switching HoldDown off releases a button held down.
    void SetHoldDown(bool holdDown);
    bool Down() const { return FDown; }
    // For a HoldDown button sets Latched and Down; ignored for other buttons (so a layout
    // sets HoldDown before Down).
    void SetDown(bool down);
    bool Latched() const { return FLatched; }
    bool MouseIn() const { return FMouseIn; }

    QString Caption; // kept, never drawn

signals:
    void OnClick();
    void OnMouseEnter();
    void OnMouseLeave();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QImage FPic, FPicDisable, FPicNormal, FPicMouseOver, FPicMouseDown;
    bool FHoldDown = false;
    bool FDown = false;
    bool FLatched = false;
    bool FMouseIn = false;
    bool FLeftPressed = false; // a left press on the button waits for its release
};

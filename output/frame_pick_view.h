#pragma once
// The first frame as a small picture in the animated GIF window: a click on it picks the
// frame's own pixel under the pointer, which works in every session, whether or not the
// screen can be read.

#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <optional>

namespace output {

// The pixel of a picture of pictureSize shown stretched into shown that lies under click;
// none outside shown or for an empty picture.
std::optional<QPoint> PickedPixel(QSize pictureSize, QRect shown, QPoint click);

class TFramePickView : public QLabel {
    Q_OBJECT
public:
    explicit TFramePickView(QWidget* parent = nullptr);
    // The picture, drawn to fit the view with its proportions kept.
    void SetPicture(const QImage& picture);
    // Where the picture lies in the view.
    QRect Shown() const { return FShown; }

signals:
    void Picked(QRgb colour);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage FPicture;
    QRect FShown;
};

} // namespace output

#include "output/frame_pick_view.h"

#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>

namespace output {

std::optional<QPoint> PickedPixel(QSize pictureSize, QRect shown, QPoint click) {
    if (pictureSize.isEmpty() || shown.isEmpty() || !shown.contains(click))
        return std::nullopt;
    const qint64 x = qint64(click.x() - shown.left()) * pictureSize.width() / shown.width();
    const qint64 y = qint64(click.y() - shown.top()) * pictureSize.height() / shown.height();
    return QPoint(int(std::min<qint64>(x, pictureSize.width() - 1)),
                  int(std::min<qint64>(y, pictureSize.height() - 1)));
}

TFramePickView::TFramePickView(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Click to pick the transparent color from the first frame."));
}

void TFramePickView::SetPicture(const QImage& picture) {
    FPicture = picture;
    if (picture.isNull() || width() <= 0 || height() <= 0) {
        FShown = QRect();
        clear();
        return;
    }
    const QSize fitted = picture.size().scaled(size(), Qt::KeepAspectRatio).expandedTo({1, 1});
    FShown =
        QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    setPixmap(QPixmap::fromImage(
        picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TFramePickView::mousePressEvent(QMouseEvent* event) {
    const std::optional<QPoint> at =
        PickedPixel(FPicture.size(), FShown, event->position().toPoint());
    if (at)
        emit Picked(FPicture.pixel(*at));
    event->accept();
}

} // namespace output

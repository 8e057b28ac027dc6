#include "video/video_window.h"

#include "video/filter_graph.h"
#include "video/media_player.h"

#include <QPainter>
#include <QResizeEvent>

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

TVideoWindow::~TVideoWindow() {
    if (FFilterGraph && FFilterGraph->VideoWindow() == this)
        FFilterGraph->SetVideoWindow(nullptr);
}

TFilterGraph* TVideoWindow::FilterGraph() const {
    return FFilterGraph;
}

void TVideoWindow::SetFilterGraph(TFilterGraph* graph) {
    if (FFilterGraph == graph)
        return;
    if (FFilterGraph && FFilterGraph->VideoWindow() == this)
        FFilterGraph->SetVideoWindow(nullptr);
    FFilterGraph = graph;
    if (FFilterGraph) {
        FFilterGraph->SetVideoWindow(this);
        SendSize();
    }
    update();
}

void TVideoWindow::SendSize() {
    if (FFilterGraph)
        FFilterGraph->SetDisplayArea(size() * devicePixelRatioF());
}

void TVideoWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SendSize();
}

void TVideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!FFilterGraph)
        return;
    const QImage picture = FFilterGraph->DisplayPicture();
    if (picture.isNull())
        return;
    const QRect target = fcvideo::LetterboxRect(rect(), FFilterGraph->DisplayAspect());
    // The picture arrives scaled to the letter-box in device pixels; only while a resize
    // is on its way does the painter have to scale it.
    const qreal dpr = devicePixelRatioF();
    if (picture.size() == target.size() * dpr) {
        QImage shown = picture;
        shown.setDevicePixelRatio(dpr);
        p.drawImage(target.topLeft(), shown);
    } else {
        p.drawImage(target, picture);
    }
}

#pragma once
// TVideoWindow: the preview. Paints the picture now on display letter-boxed on black with the
// video's aspect ratio, and tells the graph its size so that every picture arrives already
// scaled to it.

#include <QWidget>

class TFilterGraph;

class TVideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    void SetFilterGraph(TFilterGraph* graph);
    // Called by the graph when it goes away first.
    void GraphDestroyed() { FFilterGraph = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SendSize();
    TFilterGraph* FFilterGraph = nullptr;
};

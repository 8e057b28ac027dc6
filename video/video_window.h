#pragma once
// TVideoWindow: the preview. Paints the picture now on display letter-boxed on black with the
// video's aspect ratio, and tells the graph its size so that every picture arrives already
// scaled to it.

#include <QPointer>
#include <QWidget>

class TFilterGraph;

class TVideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    TFilterGraph* FilterGraph() const;
    // The graph whose picture is shown; forgotten by itself when the graph goes first.
    void SetFilterGraph(TFilterGraph* graph);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SendSize();
    QPointer<TFilterGraph> FFilterGraph;
};

#pragma once
// Docking layout: children are docked to the edges of their parent like the controls of a
// classic form designer. Top children stack from the top in the order added, then Bottom ones
// from the bottom, then Left from the left, Right from the right, and Client children fill
// what is left. Each child keeps its own size across the docked axis (a Top child keeps its
// height, a Left child its width) and keeps the gap of its margins to its neighbours. The
// layout works inside the parent's contentsRect(), so a panel's border width insets it.
// Hidden children take no room. Children not added (or added with None) keep the geometry
// the program gives them.
//
// Changing a docked child's size from the program (resize(), setFixedHeight(), ...) re-runs
// the layout at once, as does showing or hiding a docked child, also when that happens from
// inside a child's resize handler while the layout is running.

#include <QLayout>
#include <QList>
#include <QMargins>
#include <QRect>

enum class TAlign { None, Top, Bottom, Left, Right, Client };

class TDockLayout : public QLayout {
    Q_OBJECT
public:
    explicit TDockLayout(QWidget* parent); // installs itself on parent
    ~TDockLayout() override;

    // Docks w (made a child of the parent if it is not one yet). Adding a widget again
    // changes its alignment and margins.
    void AddWidget(QWidget* w, TAlign align, QMargins margins = {});
    void SetAlign(QWidget* w, TAlign align, QMargins margins = {});
    // The alignment of w in this layout; None when w is not in it.
    TAlign AlignOf(const QWidget* w) const;
    QMargins MarginsOf(const QWidget* w) const;
    // Lays the children out now inside the parent's contentsRect().
    void Relayout();

    // The docking layout installed on w, or nullptr.
    static TDockLayout* Of(const QWidget* w);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TDockItem {
        QLayoutItem* Item = nullptr;
        TAlign Align = TAlign::None;
        QMargins Margins;
        QRect Assigned; // the geometry the last pass gave the widget
    };
    int IndexOf(const QWidget* w) const;
    void DoLayout(QRect area);

    QList<TDockItem> FItems;
    bool FApplying = false;
    bool FPending = false;
};

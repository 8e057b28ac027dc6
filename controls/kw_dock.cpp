#include "controls/kw_dock.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

TDockLayout::TDockLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    // The parent's own minimum and maximum sizes are the program's business.
    setSizeConstraint(QLayout::SetNoConstraint);
}

TDockLayout::~TDockLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

TDockLayout* TDockLayout::Of(const QWidget* w) {
    return w ? qobject_cast<TDockLayout*>(w->layout()) : nullptr;
}

int TDockLayout::IndexOf(const QWidget* w) const {
    for (int i = 0; i < FItems.size(); ++i)
        if (FItems[i].Item->widget() == w)
            return i;
    return -1;
}

void TDockLayout::AddWidget(QWidget* w, TAlign align, QMargins margins) {
    if (!w)
        return;
    if (IndexOf(w) < 0) {
        addChildWidget(w);
        FItems.append({new QWidgetItem(w), TAlign::None, {}, {}});
        w->installEventFilter(this);
    }
    SetAlign(w, align, margins);
}

void TDockLayout::SetAlign(QWidget* w, TAlign align, QMargins margins) {
    const int i = IndexOf(w);
    if (i < 0) {
        if (align != TAlign::None)
            AddWidget(w, align, margins);
        return;
    }
    FItems[i].Align = align;
    FItems[i].Margins = margins;
    FItems[i].Assigned = QRect();
    Relayout();
}

TAlign TDockLayout::AlignOf(const QWidget* w) const {
    const int i = IndexOf(w);
    return i < 0 ? TAlign::None : FItems[i].Align;
}

QMargins TDockLayout::MarginsOf(const QWidget* w) const {
    const int i = IndexOf(w);
    return i < 0 ? QMargins() : FItems[i].Margins;
}

void TDockLayout::Relayout() {
    if (QWidget* p = parentWidget())
        setGeometry(p->contentsRect());
}

void TDockLayout::addItem(QLayoutItem* item) {
    FItems.append({item, TAlign::None, {}, {}});
    if (QWidget* w = item->widget())
        w->installEventFilter(this);
}

QLayoutItem* TDockLayout::itemAt(int index) const {
    return index >= 0 && index < FItems.size() ? FItems[index].Item : nullptr;
}

QLayoutItem* TDockLayout::takeAt(int index) {
    if (index < 0 || index >= FItems.size())
        return nullptr;
    QLayoutItem* item = FItems.takeAt(index).Item;
    if (QWidget* w = item->widget())
        w->removeEventFilter(this);
    return item;
}

int TDockLayout::count() const {
    return int(FItems.size());
}

QSize TDockLayout::sizeHint() const {
    const QWidget* p = parentWidget();
    return p ? p->size() : QSize();
}

QSize TDockLayout::minimumSize() const {
    return QSize(0, 0);
}

Qt::Orientations TDockLayout::expandingDirections() const {
    return Qt::Horizontal | Qt::Vertical;
}

void TDockLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    if (FApplying) {
        FPending = true;
        return;
    }
    // A child's resize handler may change a docked size while a pass runs (the preview
    // panel keeps its 4:3 shape that way); the pass is then repeated with the new sizes.
    // The bound only stops handlers that keep fighting the layout.
    for (int pass = 0; pass < 8; ++pass) {
        FPending = false;
        DoLayout(rect);
        if (!FPending)
            break;
    }
}

void TDockLayout::DoLayout(QRect area) {
    FApplying = true;
    const TAlign order[] = {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right,
                            TAlign::Client};
    for (TAlign align : order) {
        // By index: a child's resize handler may add or remove docked widgets.
        for (int i = 0; i < FItems.size(); ++i) {
            QWidget* w = FItems[i].Item->widget();
            if (FItems[i].Align != align || !w || w->isHidden())
                continue;
            const QMargins m = FItems[i].Margins;
            const int across = std::max(0, area.width() - m.left() - m.right());
            const int down = std::max(0, area.height() - m.top() - m.bottom());
            QRect g;
            switch (align) {
            case TAlign::Top:
                g = QRect(area.left() + m.left(), area.top() + m.top(), across, w->height());
                area.setTop(g.top() + g.height() + m.bottom());
                break;
            case TAlign::Bottom:
                g = QRect(area.left() + m.left(),
                          area.top() + area.height() - m.bottom() - w->height(), across,
                          w->height());
                area.setBottom(g.top() - m.top() - 1);
                break;
            case TAlign::Left:
                g = QRect(area.left() + m.left(), area.top() + m.top(), w->width(), down);
                area.setLeft(g.left() + g.width() + m.right());
                break;
            case TAlign::Right:
                g = QRect(area.left() + area.width() - m.right() - w->width(), area.top() + m.top(),
                          w->width(), down);
                area.setRight(g.left() - m.left() - 1);
                break;
            case TAlign::Client:
                g = QRect(area.left() + m.left(), area.top() + m.top(), across, down);
                break;
            case TAlign::None:
                break;
            }
            // An exhausted area leaves later children with an empty size, never a negative one.
            if (area.width() < 0)
                area.setWidth(0);
            if (area.height() < 0)
                area.setHeight(0);
            FItems[i].Assigned = g;
            w->setGeometry(g);
            if (i >= FItems.size() || FItems[i].Item->widget() != w) {
                FPending = true; // the list changed under us: lay out again
                break;
            }
            FItems[i].Assigned = w->geometry(); // after the widget's own size limits
            // Qt tells a hidden widget nothing of its new size; a nested docking layout is
            // then laid out here, so a window's geometry is right before it is shown.
            if (!w->isVisible())
                if (TDockLayout* inner = Of(w))
                    inner->Relayout();
        }
    }
    FApplying = false;
}

bool TDockLayout::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::Show || type == QEvent::Hide) {
        const int i = IndexOf(qobject_cast<QWidget*>(watched));
        if (i >= 0 && FItems[i].Align != TAlign::None) {
            const bool changed = type != QEvent::Resize ||
                                 FItems[i].Item->widget()->geometry() != FItems[i].Assigned;
            if (changed) {
                if (FApplying)
                    FPending = true;
                else
                    Relayout();
            }
        }
    }
    return QLayout::eventFilter(watched, event);
}

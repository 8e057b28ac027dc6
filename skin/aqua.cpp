#include "skin/aqua.h"

#include "common/kw_fonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

TAquaStyle::TAquaStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int TAquaStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return 13;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void TAquaStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    const bool check = element == PE_IndicatorCheckBox;
    const bool radio = element == PE_IndicatorRadioButton;
    if (!check && !radio) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const bool on = option->state & (State_On | State_NoChange);
    const bool enabled = option->state & State_Enabled;
    const bool hover = enabled && (option->state & State_MouseOver);
    const bool sunken = option->state & State_Sunken;
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    if (radio)
        shape.addEllipse(r);
    else
        shape.addRoundedRect(r, 2.5, 2.5);

    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (!enabled) {
        fill.setColorAt(0, QColor(0xC8C7C2));
        fill.setColorAt(1, QColor(0xAAA9A4));
    } else if (on) {
        fill.setColorAt(0, QColor(hover ? 0xA6DBFF : aqua::AccentLight));
        fill.setColorAt(0.5, QColor(hover ? 0x45AEF5 : 0x2E9BEA));
        fill.setColorAt(1, QColor(sunken ? aqua::AccentDark : 0x3FA4F0));
    } else {
        fill.setColorAt(0, sunken ? QColor(0xCFCECA) : QColor(Qt::white));
        fill.setColorAt(1, QColor(hover ? 0xDDEFFC : 0xDCDBD6));
    }
    painter->setPen(QPen(QColor(enabled ? (on ? 0x0B4F8A : 0x2F2E2A) : 0x7A7974), 1));
    painter->setBrush(fill);
    painter->drawPath(shape);

    if (on) {
        const QColor mark = enabled ? QColor(Qt::white) : QColor(0x7A7974);
        if (radio) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(mark);
            painter->drawEllipse(r.center(), r.width() * 0.2, r.height() * 0.2);
        } else if (option->state & State_NoChange) {
            painter->fillRect(QRectF(r.left() + 3, r.center().y() - 1, r.width() - 6, 2), mark);
        } else {
            QPainterPath tick;
            tick.moveTo(r.left() + r.width() * 0.22, r.top() + r.height() * 0.52);
            tick.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.72);
            tick.lineTo(r.left() + r.width() * 0.78, r.top() + r.height() * 0.28);
            painter->setPen(QPen(mark, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(tick);
        }
    }
    painter->restore();
}

QPalette AquaPalette() {
    QPalette pal;
    const QColor window(aqua::PanelLight), text(aqua::Text);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xEEF6FD));
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Button, QColor(aqua::PanelMid));
    pal.setColor(QPalette::ButtonText, Qt::white);
    pal.setColor(QPalette::BrightText, Qt::white);
    pal.setColor(QPalette::Highlight, QColor(aqua::Accent));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Light, QColor(0xA8A7A2));
    pal.setColor(QPalette::Midlight, QColor(aqua::BorderLight));
    pal.setColor(QPalette::Mid, QColor(aqua::PanelDark));
    pal.setColor(QPalette::Dark, QColor(0x3B3A36));
    pal.setColor(QPalette::Shadow, QColor(0x282828));
    pal.setColor(QPalette::ToolTipBase, QColor(0x2A2925));
    pal.setColor(QPalette::ToolTipText, Qt::white);
    pal.setColor(QPalette::Link, QColor(0x0B5A9E));
    pal.setColor(QPalette::PlaceholderText, QColor(0x8A8984));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        pal.setColor(QPalette::Disabled, role, QColor(0x9E9D98));
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(0xD8D7D2));
    return pal;
}

QString AquaStyleSheet() {
    // Gloss: a light top half, a sharp step at the middle, a brighter bottom edge.
    return QStringLiteral(R"css(
QPushButton {
    color: white;
    border: 1px solid #0B4F8A;
    border-radius: 5px;
    padding: 2px 12px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8FD0FF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}
QPushButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #B4E0FF, stop:0.48 #5CB6F5,
                                stop:0.52 #2A93E4, stop:1 #6BC0FA);
}
QPushButton:pressed, QPushButton:checked {
    padding-top: 3px;
    padding-bottom: 1px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #0E5FA6, stop:0.5 #1376C6,
                                stop:1 #3B9BE6);
}
QPushButton:focus { border: 1px solid #06345C; }
QPushButton:default { border: 1px solid #06345C; }
QPushButton:disabled {
    color: #8E8D88;
    border: 1px solid #6E6D68;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #C9C8C3, stop:0.5 #AFAEA9,
                                stop:1 #BDBCB7);
}

QCheckBox, QRadioButton { spacing: 5px; }
QCheckBox:disabled, QRadioButton:disabled { color: #A9A8A3; }

QLineEdit, QSpinBox, QComboBox, QPlainTextEdit, QTextEdit {
    color: black;
    background: white;
    border: 1px solid #3B3A36;
    border-radius: 3px;
    padding: 1px 3px;
    selection-color: white;
    selection-background-color: #1E8FE6;
}
QLineEdit:focus, QSpinBox:focus, QComboBox:focus, QPlainTextEdit:focus, QTextEdit:focus {
    border: 1px solid #1681D8;
}
QLineEdit:disabled, QSpinBox:disabled, QComboBox:disabled {
    color: #77766F;
    background: #D8D7D2;
    border: 1px solid #6E6D68;
}
QComboBox::drop-down {
    width: 16px;
    border-left: 1px solid #0B4F8A;
    border-top-right-radius: 2px;
    border-bottom-right-radius: 2px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8FD0FF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}
QComboBox QAbstractItemView {
    color: black;
    background: white;
    border: 1px solid #3B3A36;
    selection-color: white;
    selection-background-color: #1E8FE6;
}

QProgressBar {
    color: white;
    text-align: center;
    border: 1px solid #2F2E2A;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3B3A36, stop:1 #55544F);
}
QProgressBar::chunk {
    border-radius: 2px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #A6DBFF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}

QScrollArea { border: none; background: transparent; }
QScrollBar:vertical {
    width: 14px;
    margin: 0;
    border: none;
    border-left: 1px solid #4E4D49;
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #4E4D49, stop:1 #5F5E59);
}
QScrollBar::handle:vertical {
    min-height: 28px;
    margin: 2px 2px 2px 2px;
    border: 1px solid #0B4F8A;
    border-radius: 4px;
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #8FD0FF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}
QScrollBar::handle:vertical:hover {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #B4E0FF, stop:0.48 #5CB6F5,
                                stop:0.52 #2A93E4, stop:1 #6BC0FA);
}
QScrollBar:horizontal {
    height: 14px;
    margin: 0;
    border: none;
    border-top: 1px solid #4E4D49;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4E4D49, stop:1 #5F5E59);
}
QScrollBar::handle:horizontal {
    min-width: 28px;
    margin: 2px;
    border: 1px solid #0B4F8A;
    border-radius: 4px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8FD0FF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QMenu {
    color: white;
    background: #4A4945;
    border: 1px solid #282828;
    padding: 3px 0;
}
QMenu::item { padding: 4px 24px 4px 22px; background: transparent; }
QMenu::item:selected {
    border-top: 1px solid #0B4F8A;
    border-bottom: 1px solid #0B4F8A;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8FD0FF, stop:0.48 #3AA3EE,
                                stop:0.52 #1681D8, stop:1 #48ADF5);
}
QMenu::item:disabled { color: #8A8984; }
QMenu::separator { height: 1px; margin: 3px 8px; background: #6A6964; }

QSlider::groove:horizontal {
    height: 5px;
    border: 1px solid #2F2E2A;
    border-radius: 3px;
    background: #3B3A36;
}
QSlider::sub-page:horizontal {
    height: 5px;
    border: 1px solid #0B4F8A;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8FD0FF, stop:1 #1681D8);
}
QSlider::handle:horizontal {
    width: 13px;
    height: 13px;
    margin: -5px 0;
    border: 1px solid #0B4F8A;
    border-radius: 7px;
    background: qradialgradient(cx:0.5, cy:0.5, radius:0.6, fx:0.35, fy:0.3, stop:0 white,
                                stop:0.45 #5CB6F5, stop:1 #1376C6);
}
QSlider::handle:horizontal:hover {
    background: qradialgradient(cx:0.5, cy:0.5, radius:0.6, fx:0.35, fy:0.3, stop:0 white,
                                stop:0.5 #8FD0FF, stop:1 #2A93E4);
}
QSlider::groove:horizontal:disabled, QSlider::sub-page:horizontal:disabled {
    border: 1px solid #6E6D68;
    background: #9E9D98;
}
QSlider::handle:horizontal:disabled { border: 1px solid #6E6D68; background: #C9C8C3; }

QToolTip {
    color: white;
    background: #2A2925;
    border: 1px solid #1E8FE6;
    padding: 2px 4px;
}
)css");
}

void ApplyAquaSkin(QApplication& app) {
    kw::RegisterTahoma();
    app.setStyle(new TAquaStyle); // the application takes the style
    app.setPalette(AquaPalette());
    app.setFont(kw::Tahoma(8));
    app.setStyleSheet(AquaStyleSheet());
}

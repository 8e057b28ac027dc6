#include "editor/watermark_panels.h"

#include "common/kw_dialogs.h"
#include "common/kw_guard.h"
#include "controls/kw_img_btn.h"
#include "skin/aqua.h"
#include "skin/artwork.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QLabel>
#include <QPainter>

namespace {

void StyleSidePanel(TKWLinePanel* panel) {
    panel->SetColor(QColor(aqua::PanelLight));
    panel->SetBorderWidth(2);
    panel->SetBorderColor1(QColor(aqua::BorderLight));
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    panel->resize(0, panel->height());
    panel->hide();
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, bool bold = true) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #FFFFFF; background: transparent;%1")
                             .arg(bold ? QStringLiteral(" font-weight: bold;") : QString()));
    label->adjustSize();
    label->move(left, top);
    return label;
}

TTeButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect rect) {
    auto* button = new TTeButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

TTeCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, int left,
                          int top) {
    auto* box = new TTeCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setStyleSheet(QStringLiteral("color: #FFFFFF; background: transparent;"));
    box->setGeometry(left, top, 80, 18);
    return box;
}

TTeTrackBar* MakeTrackBar(QWidget* parent, const char* name, int position, QRect rect) {
    auto* bar = new TTeTrackBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->SetMax(255);
    bar->SetMin(0);
    bar->SetPosition(position);
    bar->SetShowTicks(false);
    bar->SetPageSize(16);
    bar->setGeometry(rect);
    return bar;
}

TTeEdit* MakeEdit(QWidget* parent, const char* name, QRect rect) {
    auto* edit = new TTeEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(rect);
    return edit;
}

// An anchor button's strip (disabled, normal, mouse over, pressed; 18 x 18 each): a small
// raised square with a mark at the place in the frame the button stands for.
QImage AnchorArt(int anchor) {
    constexpr int S = 18;
    QImage strip(S, S * ArtStates, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int state = 0; state < ArtStates; ++state) {
        const QRect cell(0, state * S, S, S);
        const bool pressed = state == ArtPressed;
        QColor face = pressed ? QColor(aqua::AccentDark) : QColor(0xC8C7C2);
        if (state == ArtOver)
            face = QColor(0xE2E1DC);
        if (state == ArtDisabled)
            face = QColor(0x9E9C97);
        p.fillRect(cell.adjusted(1, 1, -1, -1), face);
        p.setPen(pressed ? QColor(Qt::black) : QColor(Qt::white));
        p.drawLine(cell.left(), cell.top(), cell.right() - 1, cell.top());
        p.drawLine(cell.left(), cell.top(), cell.left(), cell.bottom() - 1);
        p.setPen(pressed ? QColor(Qt::white) : QColor(0x4A4946));
        p.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
        p.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
        const QRect mark(cell.left() + 3 + 5 * (anchor % 3), cell.top() + 3 + 5 * (anchor / 3), 3,
                         3);
        p.fillRect(mark, pressed ? QColor(aqua::AccentLight) : QColor(0x3C3B38));
    }
    return strip;
}

QIcon Swatch(QRgb rgb) {
    QImage swatch(16, 12, QImage::Format_RGB32);
    swatch.fill(Qt::black);
    QPainter(&swatch).fillRect(1, 1, 14, 10, QColor::fromRgb(rgb));
    return QIcon(QPixmap::fromImage(swatch));
}

// The standard named colours, in the list's order.
const std::pair<const char*, QRgb> StandardColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF}};

// The OK and Cancel row at the bottom of both panels.
constexpr int ButtonsTop = 405;

const char* const AnchorNames[AnchorCount] = {"BtnTL", "BtnTM", "BtnTR", "BtnML", "BtnMM",
                                              "BtnMR", "BtnBL", "BtnBM", "BtnBR"};

} // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
    for (const auto& [name, rgb] : StandardColors)
        addItem(Swatch(rgb), QLatin1String(name), uint(rgb));
    addItem(Swatch(0xFFFFFF), QStringLiteral("Other ..."), uint(0xFFFFFF));
    SetSelected(0xFF0000);
    connect(this, &QComboBox::activated, this, kw::Guard([this](int i) { ItemChosen(i); }));
}

QRgb TColorBox::Selected() const {
    return QRgb(currentData().toUInt()) & 0xFFFFFFu;
}

void TColorBox::SetSelected(QRgb rgb) {
    rgb &= 0xFFFFFFu;
    int index = findData(uint(rgb));
    if (index < 0 || index == OtherIndex()) {
        SetOther(rgb);
        index = OtherIndex();
    }
    setCurrentIndex(index);
    FLastIndex = index;
}

void TColorBox::SetOther(QRgb rgb) {
    setItemData(OtherIndex(), uint(rgb));
    setItemIcon(OtherIndex(), Swatch(rgb));
}

void TColorBox::ItemChosen(int index) {
    if (index == OtherIndex()) {
        const QRgb shown = FLastIndex >= 0 ? QRgb(itemData(FLastIndex).toUInt()) : 0xFF0000u;
        const qint64 chosen = kw::Desktop().ChooseColor(window(), shown);
        if (chosen < 0) {
            setCurrentIndex(FLastIndex);
            return;
        }
        SetOther(QRgb(chosen));
        setCurrentIndex(index);
    }
    FLastIndex = index;
    emit ColorChanged();
}

TPanelTextWM::TPanelTextWM(QWidget* parent) : TKWLinePanel(parent) {
    setObjectName(QStringLiteral("PanelTextWM"));
    StyleSidePanel(this);
    MakeLabel(this, QStringLiteral("Text : "), 15, 12);
    EditText = MakeEdit(this, "EditText", {15, 28, 170, 21});
    EditText->setText(QStringLiteral("Sample Text"));

    MakeLabel(this, QStringLiteral("Font Name : "), 15, 57);
    ComboBoxFonts = new QComboBox(this);
    ComboBoxFonts->setObjectName(QStringLiteral("ComboBoxFonts"));
    ComboBoxFonts->setGeometry(15, 73, 170, 21);

    MakeLabel(this, QStringLiteral("Font Style : "), 15, 102);
    CheckBoxBold = MakeCheckBox(this, "CheckBoxBold", QStringLiteral("Bold"), 15, 118);
    CheckBoxItalic = MakeCheckBox(this, "CheckBoxItalic", QStringLiteral("Italic"), 100, 118);
    CheckBoxUnderline =
        MakeCheckBox(this, "CheckBoxUnderline", QStringLiteral("Underline"), 15, 137);
    CheckBoxStrikeOut =
        MakeCheckBox(this, "CheckBoxStrikeOut", QStringLiteral("Strike Out"), 100, 137);

    MakeLabel(this, QStringLiteral("Font Size : "), 15, 162);
    ComboBoxFontSize = new QComboBox(this);
    ComboBoxFontSize->setObjectName(QStringLiteral("ComboBoxFontSize"));
    ComboBoxFontSize->setGeometry(15, 178, 170, 21);
    for (int size = 8; size <= 25; ++size)
        ComboBoxFontSize->addItem(QString::number(size));
    for (int size : {30, 35, 40, 45, 50, 55, 60, 70, 80, 90, 100})
        ComboBoxFontSize->addItem(QString::number(size));
    ComboBoxFontSize->setCurrentText(QStringLiteral("16"));

    MakeLabel(this, QStringLiteral("Font Color : "), 15, 207);
    ColorBox = new TColorBox(this);
    ColorBox->setObjectName(QStringLiteral("ColorBox"));
    ColorBox->setGeometry(15, 223, 170, 21);

    MakeLabel(this, QStringLiteral("Transpance : "), 15, 252);
    TrackBarTrans = MakeTrackBar(this, "TrackBarTrans", 180, {8, 266, 168, 28});
    LabelTrans = MakeLabel(this, QStringLiteral("180"), 176, 274, false);
    LabelTrans->setFixedWidth(22);

    MakeLabel(this, QStringLiteral("Position :  "), 15, 322);
    for (int anchor = 0; anchor < AnchorCount; ++anchor) {
        auto* button = new TKWImgBtn(this);
        button->setObjectName(QLatin1String(AnchorNames[anchor]));
        button->setGeometry(90 + 18 * (anchor % 3), 304 + 18 * (anchor / 3), 18, 18);
        button->SetPic(AnchorArt(anchor));
        button->SetHoldDown(true);
        button->SetDown(anchor == PosMM);
        Anchors[std::size_t(anchor)] = button;
    }
    CheckBoxTile = MakeCheckBox(this, "CheckBoxTile", QStringLiteral("Tile"), 148, 342);
    CheckBoxTile->setFixedWidth(45);

    BtnTextWMOK = MakeButton(this, "BtnTextWMOK", QStringLiteral("OK"), {30, ButtonsTop, 65, 25});
    BtnTextWMCancel =
        MakeButton(this, "BtnTextWMCancel", QStringLiteral("Cancel"), {105, ButtonsTop, 65, 25});
}

void TPanelTextWM::FillFonts(const QStringList& families) {
    ComboBoxFonts->clear();
    ComboBoxFonts->addItems(families);
    ComboBoxFonts->setCurrentIndex(int(families.indexOf(QStringLiteral("Tahoma"))));
}

TTextWMAction TPanelTextWM::Settings() const {
    TTextWMAction a;
    a.Text = EditText->text();
    a.FontName = ComboBoxFonts->currentIndex() >= 0 ? ComboBoxFonts->currentText() : QString();
    a.Bold = CheckBoxBold->isChecked();
    a.Italic = CheckBoxItalic->isChecked();
    a.UnderLine = CheckBoxUnderline->isChecked();
    a.StrikeOut = CheckBoxStrikeOut->isChecked();
    if (!kw::TryStrToInt(ComboBoxFontSize->currentText(), a.FontSize))
        a.FontSize = 16;
    a.FontColor = (std::uint32_t(TrackBarTrans->Position()) << 24) | ColorBox->Selected();
    a.Tile = CheckBoxTile->isChecked();
    for (int anchor = 0; anchor < AnchorCount; ++anchor)
        a.Pos[std::size_t(anchor)] = Anchors[std::size_t(anchor)]->Down();
    return a;
}

TPanelImgWM::TPanelImgWM(QWidget* parent) : TKWLinePanel(parent) {
    setObjectName(QStringLiteral("PanelImgWM"));
    StyleSidePanel(this);
    MakeLabel(this, QStringLiteral("Image file : "), 15, 12);
    EditImgFile = MakeEdit(this, "EditImgFile", {15, 28, 145, 21});
    EditImgFile->setReadOnly(true);
    BtnOpenImgFile = MakeButton(this, "BtnOpenImgFile", QStringLiteral("..."), {162, 27, 23, 23});
    BtnOpenImgFile->setStyleSheet(QStringLiteral("padding: 0px;"));

    MakeLabel(this, QStringLiteral("Transpance : "), 15, 62);
    TrackBarImgWmTrans = MakeTrackBar(this, "TrackBarImgWmTrans", 80, {8, 76, 168, 28});
    LabelImgWmTrans = MakeLabel(this, QStringLiteral("80"), 176, 84, false);
    LabelImgWmTrans->setFixedWidth(22);

    BtnImgWMOK = MakeButton(this, "BtnImgWMOK", QStringLiteral("OK"), {30, ButtonsTop, 65, 25});
    BtnImgWMCancel =
        MakeButton(this, "BtnImgWMCancel", QStringLiteral("Cancel"), {105, ButtonsTop, 65, 25});
}

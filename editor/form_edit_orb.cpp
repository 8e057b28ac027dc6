#include "editor/form_edit_orb.h"

#include "common/kw_common.h"
#include "common/kw_memory.h"
#include "controls/kw_dock.h"
#include "controls/kw_img_panel.h"
#include "controls/kw_line_panel.h"
#include "editor/crop_tool.h"
#include "editor/editor_tool.h"
#include "editor/form_edit_orb_changed.h"
#include "editor/image_wm_tool.h"
#include "editor/resize_tool.h"
#include "editor/text_wm_tool.h"
#include "editor/watermark_panels.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "graphics/rubberband_layer.h"
#include "skin/aqua.h"
#include "skin/te_controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>

#include <algorithm>

namespace {

const QColor ColorForm(aqua::PanelLight);
const QColor ColorBorder(aqua::BorderLight);
const QMargins PanelMargins(3, 3, 3, 3);
// How far a side panel slides per tick of its timer.
constexpr int SlideStep = 50;
constexpr int ButtonPanelWidth = 200;

TKWLinePanel* MakePanel(QWidget* parent, const char* name, int borderWidth) {
    auto* panel = new TKWLinePanel(parent);
    panel->setObjectName(QLatin1String(name));
    panel->SetColor(ColorForm);
    panel->SetBorderWidth(borderWidth);
    panel->SetBorderColor1(ColorBorder);
    panel->SetBorderColor2(Qt::black);
    panel->SetBorderColor3(Qt::black);
    return panel;
}

TTeButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new TTeButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    // No button of the editor is pressed by Enter (FormShortCut takes the key anyway).
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// A status bar field: a bordered box with one line of text.
QLabel* MakeField(TKWLinePanel* bar, const char* name, int width, Qt::Alignment alignment,
                  int indent) {
    auto* box = MakePanel(bar, "", 1);
    box->SetColor(bar->Color());
    box->resize(width, 20);
    bar->Dock()->AddWidget(box, width > 0 ? TAlign::Left : TAlign::Client);
    auto* label = new QLabel(box);
    label->setObjectName(QLatin1String(name));
    label->setFont(kw::Tahoma(8));
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setIndent(indent);
    label->setStyleSheet(QStringLiteral("color: #A4A39E; background: transparent;"));
    box->Dock()->AddWidget(label, TAlign::Client);
    return label;
}

// The picture of a button as it looks held down.
QImage PressedPicture(TTeButton* button) {
    button->setDown(true);
    const QImage picture = button->grab().toImage();
    button->setDown(false);
    return picture;
}

TKWImgPanel* MakePressedPicture(TTeButton* button, const char* name) {
    auto* image = new TKWImgPanel(button->parentWidget());
    image->setObjectName(QLatin1String(name));
    image->SetPicture(PressedPicture(button));
    image->setGeometry(button->geometry());
    image->hide();
    return image;
}

} // namespace

TFormEditORB::TFormEditORB(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("FormEditORB"));
    setWindowTitle(QStringLiteral("Frame Edit"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(kw::Tahoma(8));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorForm);
    setPalette(pal);
    setFixedSize(MinWidth, MinHeight);

    CreateComponents();
    CreatePopupMenus();
    FormCreate();
    // Each tool connects its own buttons, menu items and band callbacks. Enter and Escape
    // reach them in this order.
    AddTool(std::make_unique<TCropTool>(*this,
                                        TCropControls{BtnCrop, ImageCrop, ItemCrop, ItemCancel}));
    AddTool(std::make_unique<TResizeTool>(*this, TResizeControls{BtnResize, ImageResize, ItemResize,
                                                                 ItemCancelResize, BtnResize_1,
                                                                 PopupMenuResize_1}));
    AddTool(std::make_unique<TTextWMTool>(*this, BtnAddTextWM, PanelTextWM));
    AddTool(std::make_unique<TImageWMTool>(
        *this, TImageWMControls{BtnAddImgWM, PanelImgWM, ItemMergeWM, ItemDeleteWM}));
    // The window sees every key before its controls (FormShortCut).
    qApp->installEventFilter(this);
}

TFormEditORB::~TFormEditORB() {
    qApp->removeEventFilter(this);
    SetBusyCursor(false);
    FTools.clear(); // before the layers and panels they use
}

void TFormEditORB::CreateComponents() {
    auto* dock = new TDockLayout(this);

    PanelBottom = MakePanel(this, "PanelBottom", 0);
    // The dark grey of the main window's status line, on which the grey text reads well.
    PanelBottom->SetColor(QColor(aqua::PanelDark));
    PanelBottom->resize(MinWidth, 20);
    dock->AddWidget(PanelBottom, TAlign::Bottom, PanelMargins);
    LabelBottom1 = MakeField(PanelBottom, "LabelBottom1", 142, Qt::AlignHCenter, 0);
    LabelBottom2 = MakeField(PanelBottom, "LabelBottom2", 200, Qt::AlignHCenter, 0);
    LabelBottom3 = MakeField(PanelBottom, "LabelBottom3", 0, Qt::AlignLeft, 5);

    PanelBtn = MakePanel(this, "PanelBtn", 2);
    PanelBtn->resize(ButtonPanelWidth, 400);
    dock->AddWidget(PanelBtn, TAlign::Left, PanelMargins);
    PanelTextWM = new TPanelTextWM(this);
    dock->AddWidget(PanelTextWM, TAlign::Left, PanelMargins);
    PanelImgWM = new TPanelImgWM(this);
    dock->AddWidget(PanelImgWM, TAlign::Left, PanelMargins);

    PanelMain = MakePanel(this, "PanelMain", 2);
    dock->AddWidget(PanelMain, TAlign::Client, PanelMargins);
    Image1 = new TImage32(PanelMain);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->SetColor(ColorForm);
    PanelMain->Dock()->AddWidget(Image1, TAlign::Client);

    BtnPrevious = MakeButton(PanelBtn, "BtnPrevious", QStringLiteral("< Prev"), {30, 20, 65, 25});
    BtnNext = MakeButton(PanelBtn, "BtnNext", QStringLiteral("Next >"), {105, 20, 65, 25});
    BtnCrop = MakeButton(PanelBtn, "BtnCrop", QStringLiteral("Crop"), {30, 67, 140, 40});
    BtnResize = MakeButton(PanelBtn, "BtnResize", QStringLiteral("Resize"), {30, 122, 126, 40});
    BtnResize_1 = MakeButton(PanelBtn, "BtnResize_1", QStringLiteral("%"), {155, 122, 15, 40});
    BtnAddTextWM = MakeButton(PanelBtn, "BtnAddTextWM", QStringLiteral("Add Text Watermark"),
                              {30, 177, 140, 40});
    BtnAddImgWM = MakeButton(PanelBtn, "BtnAddImgWM", QStringLiteral("Add Image Watermark"),
                             {30, 232, 140, 40});
    BtnUndo = MakeButton(PanelBtn, "BtnUndo", QStringLiteral("Undo"), {30, 294, 65, 25});
    BtnRedo = MakeButton(PanelBtn, "BtnRedo", QStringLiteral("Redo"), {105, 294, 65, 25});
    // A narrow "%" button shows its caption only without the usual side padding.
    BtnResize_1->setStyleSheet(QStringLiteral("padding: 0px;"));
    ImageCrop = MakePressedPicture(BtnCrop, "ImageCrop");
    ImageResize = MakePressedPicture(BtnResize, "ImageResize");

    connect(BtnPrevious, &QPushButton::clicked, this, kw::Guard([this] { BtnPreviousClick(); }));
    connect(BtnNext, &QPushButton::clicked, this, kw::Guard([this] { BtnNextClick(); }));
    connect(BtnUndo, &QPushButton::clicked, this, kw::Guard([this] { BtnUndoClick(); }));
    connect(BtnRedo, &QPushButton::clicked, this, kw::Guard([this] { BtnRedoClick(); }));
    // The keys of desktop programs press Undo and Redo, when the button could be clicked:
    // not while a watermark panel covers the buttons, nor with nothing to undo or redo. A text
    // field with the focus keeps these keys for its own typing.
    const auto shortcut = [this](QKeySequence keys, TTeButton* button) {
        auto* key = new QShortcut(keys, this);
        connect(key, &QShortcut::activated, this, kw::Guard([button] {
                    if (button->isVisible() && button->isEnabled())
                        button->click();
                }));
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), BtnUndo);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), BtnRedo);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), BtnRedo);
    // "Crop" and ImageCrop, "Resize", ImageResize and "%", the two "Add ..." buttons and the
    // panels' controls belong to the tools, which connect them.
    connect(Image1, &TImage32::MouseDown, this,
            kw::Guard([this](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) {
                Image1MouseDown(button);
            }));

    const std::pair<QTimer*, void (TFormEditORB::*)()> timers[] = {
        {&TimerShowPanelTextWM, &TFormEditORB::TimerShowPanelTextWMTimer},
        {&TimerHidePanelTextWM, &TFormEditORB::TimerHidePanelTextWMTimer},
        {&TimerShowPanelImgWM, &TFormEditORB::TimerShowPanelImgWMTimer},
        {&TimerHidePanelImgWM, &TFormEditORB::TimerHidePanelImgWMTimer}};
    for (const auto& [timer, handler] : timers) {
        timer->setInterval(50);
        connect(timer, &QTimer::timeout, this, kw::Guard([this, h = handler] { (this->*h)(); }));
    }
}

void TFormEditORB::CreatePopupMenus() {
    auto menu = [this](const char* name,
                       std::initializer_list<std::pair<TTeItem**, QString>> items) {
        auto* m = new TTePopupMenu(this);
        m->setObjectName(QLatin1String(name));
        for (const auto& [field, caption] : items) {
            auto* item = new TTeItem(caption, m);
            m->addAction(item);
            if (field)
                *field = item;
        }
        return m;
    };
    // The commands of the menus are their tools'.
    PopupMenuCrop = menu("PopupMenuCrop", {{&ItemCrop, QStringLiteral("Crop")},
                                           {&ItemCancel, QStringLiteral("Cancel")}});
    PopupMenuResize = menu("PopupMenuResize", {{&ItemResize, QStringLiteral("Resize")},
                                               {&ItemCancelResize, QStringLiteral("Cancel")}});
    PopupMenuImgWM = menu("PopupMenuImgWM", {{&ItemMergeWM, QStringLiteral("Merge")},
                                             {&ItemDeleteWM, QStringLiteral("Delete")}});
    PopupMenuResize_1 = menu("PopupMenuResize_1", {{nullptr, QStringLiteral(" 25%")},
                                                   {nullptr, QStringLiteral(" 50%")},
                                                   {nullptr, QStringLiteral(" 75%")},
                                                   {nullptr, QStringLiteral("125%")},
                                                   {nullptr, QStringLiteral("150%")},
                                                   {nullptr, QStringLiteral("200%")}});
}

// The layers in their stacking order, all hidden and deaf to the mouse until a tool shows them.
// The crop and resize tools set the two bands' resizing callback and after-drag notification.
void TFormEditORB::FormCreate() {
    FLayers.CropBand = new TRubberbandLayer(Image1);
    FLayers.ResizeLayer = new TBitmapLayer(Image1);
    FLayers.ResizeBand = new TRubberbandLayer(Image1);
    FLayers.ResizeBand->SetChildLayer(FLayers.ResizeLayer);
    FLayers.WatermarkLayer = new TBitmapLayer(Image1);
    FLayers.WatermarkLayer->SetDrawMode(TDrawMode::Blend);
    FLayers.WatermarkBand = new TRubberbandLayer(Image1);
    FLayers.WatermarkBand->SetChildLayer(FLayers.WatermarkLayer);
    for (TCustomLayer* layer : Image1->Layers()) {
        layer->SetVisible(false);
        layer->SetMouseEvents(false);
    }
    FBackup.SetEmpty();
    FHistory.Clear();
}

void TFormEditORB::EditFrame(QWidget* owner, TThumbnails* list, int index) {
    TFormEditORB editor(owner ? owner->window() : nullptr);
    editor.ShowFrame(list->FramePicture(index), index, list);
    kw::ShowModal(editor);
}

void TFormEditORB::ShowFrame(const QImage& picture, int index, TThumbnails* list) {
    FFrameIndex = index;
    FThumbnails = list;
    UpdateStepButtons();

    const QSize screen = kw::Desktop().ScreenSize();
    const int width = std::max(std::min(picture.width() + 260, screen.width() - 10), MinWidth);
    const int height = std::max(std::min(picture.height() + 100, screen.height() - 40), MinHeight);
    setFixedSize(width, height);
    move((screen.width() - width) / 2, (screen.height() - height) / 2);

    Image1->SetBitmap(TBitmap32::FromFrame(picture));
    ImageCrop->move(30, BtnCrop->y());
    ImageResize->move(30, BtnResize->y());
    PanelTextWM->FillFonts(kw::Desktop().FontFamilies());
    FEditScript.Create();
    FHistory.Add(Image1->Bitmap());
    UpdateUndoRedo();
    ResetPanels();
    ShowFrameInfo();
}

void TFormEditORB::AddTool(std::unique_ptr<TEditorTool> tool) {
    FTools.push_back(std::move(tool));
}

void TFormEditORB::CancelPendingTool() {
    for (const auto& tool : FTools)
        tool->Cancel();
}

void TFormEditORB::EditDone(const TEditAction& action, const TBitmap32& picture) {
    FEditScript.Record(action);
    EditDone(picture);
}

void TFormEditORB::EditDone(const TBitmap32& picture) {
    Image1->SetBitmap(picture);
    FHistory.Add(Image1->Bitmap());
    UpdateUndoRedo();
    ShowFrameInfo();
}

void TFormEditORB::SaveBackup() {
    FBackup = Image1->Bitmap();
}

void TFormEditORB::RestoreBackup() {
    Image1->SetBitmap(FBackup);
}

void TFormEditORB::UpdateStepButtons() {
    const int count = FThumbnails ? FThumbnails->Count() : 1;
    BtnPrevious->setEnabled(FFrameIndex != 0);
    BtnNext->setEnabled(FFrameIndex != count - 1);
}

// A step leaves the frame on display settled: when it carries edits, the save prompt of the
// editor's closing asks first what becomes of them (saved into this frame, repeated on every
// frame, or dropped), and its close box cancels the step. The frame stepped to then starts a
// history and an edit script of its own, so that Undo and Redo reach only its own states and a
// repeat replays only what was done to it. A crop or resize under way is cancelled first, so
// that it cannot carry this frame's picture over to the next one.
void TFormEditORB::StepTo(int index) {
    if (!FThumbnails || index < 0 || index >= FThumbnails->Count())
        return;
    CancelPendingTool();
    if (FEditScript.CountActiveActions() > 0) {
        TFormChanged prompt(this, *this);
        if (kw::ShowModal(prompt) != QDialog::Accepted)
            return;
    }
    const QImage picture = FThumbnails->FramePicture(index);
    FFrameIndex = index;
    Image1->SetBitmap(TBitmap32::FromFrame(picture));
    FEditScript.Create();
    FHistory.Clear();
    FHistory.Add(Image1->Bitmap());
    UpdateUndoRedo();
    UpdateStepButtons();
    ShowFrameInfo();
}

void TFormEditORB::NeedPictureMemory(QSize size) const {
    kw::NeedMemory(2 * kw::FrameBytes(size, QImage::Format_ARGB32), QStringLiteral("a picture"),
                   size);
}

void TFormEditORB::BtnPreviousClick() {
    StepTo(FFrameIndex - 1);
}

void TFormEditORB::BtnNextClick() {
    StepTo(FFrameIndex + 1);
}

void TFormEditORB::UpdateUndoRedo() {
    BtnUndo->setEnabled(FHistory.CanUndo());
    BtnRedo->setEnabled(FHistory.CanRedo());
}

// Undo and Redo first cancel a crop or resize under way: its band would otherwise stay over a
// picture it was not started on.
void TFormEditORB::BtnUndoClick() {
    CancelPendingTool();
    if (const TBitmap32* state = FHistory.Undo()) {
        Image1->SetBitmap(*state);
        FEditScript.DeactivateLastAction();
    }
    UpdateUndoRedo();
    ShowFrameInfo();
}

void TFormEditORB::BtnRedoClick() {
    CancelPendingTool();
    if (const TBitmap32* state = FHistory.Redo()) {
        Image1->SetBitmap(*state);
        FEditScript.ReactivateNextAction();
    }
    UpdateUndoRedo();
    ShowFrameInfo();
}

void TFormEditORB::ShowFrameInfo() {
    LabelBottom1->setText(QString::asprintf("Index: %d  Size: %d X %d", FFrameIndex,
                                            Image1->Bitmap().Width(), Image1->Bitmap().Height()));
}

void TFormEditORB::ShowBandInfo(bool withPosition) {
    const TRubberbandLayer* band = FLayers.ResizeBand->Visible() ? FLayers.ResizeBand
                                   : FLayers.CropBand->Visible() ? FLayers.CropBand
                                                                 : nullptr;
    if (!band)
        return;
    const TFloatRect& r = band->Location();
    const int l = Nearest(r.Left), t = Nearest(r.Top);
    const int w = Nearest(r.Right) - l, h = Nearest(r.Bottom) - t;
    int x = l, y = t;
    if (FLayers.CropBand->Visible()) {
        x -= Image1->Offset().x();
        y -= Image1->Offset().y();
    }
    LabelBottom2->setText(withPosition
                              ? QString::asprintf("X: %d, Y: %d   Size: %d X %d", x, y, w, h)
                              : QString::asprintf("Size: %d X %d", w, h));
}

void TFormEditORB::BandDragged() {
    if (FLayers.CropBand->Visible())
        ShowBandInfo(true);
    else if (FLayers.ResizeBand->Visible())
        ShowBandInfo(false);
}

void TFormEditORB::ShowStatusHint(const QString& text) {
    LabelBottom3->setText(text);
}

void TFormEditORB::ClearStatusBar() {
    LabelBottom3->clear();
}

void TFormEditORB::ClearBandInfo() {
    LabelBottom2->clear();
}

void TFormEditORB::SetBusyCursor(bool on) {
    if (on == FBusyCursor)
        return;
    FBusyCursor = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TFormEditORB::FormShortCut(int key) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    // Each tool is asked in turn, so that Enter carries out a crop and then a resize (at most
    // one of them is ever under way).
    for (const auto& tool : FTools) {
        if (!tool->UnderWay())
            continue;
        if (enter)
            tool->KeyEnter();
        else
            tool->KeyEscape();
    }
    return true;
}

// A right press chooses the menu that opens: the crop's, the resize's or the image
// watermark's, by the layer shown; none with no layer shown.
void TFormEditORB::Image1MouseDown(Qt::MouseButton button) {
    if (button != Qt::RightButton)
        return;
    QMenu* menu = nullptr;
    if (FLayers.CropBand->Visible())
        menu = PopupMenuCrop;
    else if (FLayers.ResizeLayer->Visible())
        menu = PopupMenuResize;
    else if (FLayers.WatermarkLayer->Visible())
        menu = PopupMenuImgWM;
    Image1->SetPopupMenu(menu);
}

void TFormEditORB::PinImagePanel() {
    FSavedMainWidth = PanelMain->width();
    TDockLayout* dock = TDockLayout::Of(this);
    dock->SetAlign(PanelMain, TAlign::Right, PanelMargins);
    PanelMain->resize(FSavedMainWidth, PanelMain->height());
}

void TFormEditORB::UnpinImagePanel() {
    TDockLayout::Of(this)->SetAlign(PanelMain, TAlign::Client, PanelMargins);
}

void TFormEditORB::ResetPanels() {
    PanelBtn->show();
    PanelBtn->resize(ButtonPanelWidth, PanelBtn->height());
    for (TKWLinePanel* side :
         {static_cast<TKWLinePanel*>(PanelTextWM), static_cast<TKWLinePanel*>(PanelImgWM)}) {
        side->hide();
        side->resize(0, side->height());
    }
}

void TFormEditORB::SlideInPanel(TKWLinePanel* side) {
    if (side == PanelTextWM)
        SlideInTextPanel();
    else if (side == PanelImgWM)
        SlideInImgPanel();
}

void TFormEditORB::SlideOutPanel(TKWLinePanel* side) {
    if (side == PanelTextWM)
        SlideOutTextPanel();
    else if (side == PanelImgWM)
        SlideOutImgPanel();
}

void TFormEditORB::SlideInTextPanel() {
    PinImagePanel();
    TimerShowPanelTextWM.start();
}

void TFormEditORB::SlideOutTextPanel() {
    PinImagePanel();
    TimerHidePanelTextWM.start();
}

void TFormEditORB::SlideInImgPanel() {
    PinImagePanel();
    TimerShowPanelImgWM.start();
}

void TFormEditORB::SlideOutImgPanel() {
    PinImagePanel();
    TimerHidePanelImgWM.start();
}

void TFormEditORB::SlideIn(TKWLinePanel* side, QTimer& timer, QWidget* okButton) {
    side->show();
    PanelBtn->resize(PanelBtn->width() - SlideStep, PanelBtn->height());
    side->resize(side->width() + SlideStep, side->height());
    if (PanelBtn->width() <= 5) {
        PanelBtn->resize(0, PanelBtn->height());
        timer.stop();
        PanelBtn->hide();
        UnpinImagePanel();
        okButton->setFocus();
    }
}

void TFormEditORB::SlideOut(TKWLinePanel* side, QTimer& timer) {
    PanelBtn->show();
    side->resize(side->width() - SlideStep, side->height());
    PanelBtn->resize(PanelBtn->width() + SlideStep, PanelBtn->height());
    if (side->width() <= 5) {
        side->resize(0, side->height());
        timer.stop();
        side->hide();
        UnpinImagePanel();
    }
}

void TFormEditORB::TimerShowPanelTextWMTimer() {
    SlideIn(PanelTextWM, TimerShowPanelTextWM, PanelTextWM->BtnTextWMOK);
}

void TFormEditORB::TimerHidePanelTextWMTimer() {
    SlideOut(PanelTextWM, TimerHidePanelTextWM);
}

void TFormEditORB::TimerShowPanelImgWMTimer() {
    SlideIn(PanelImgWM, TimerShowPanelImgWM, PanelImgWM->BtnImgWMOK);
}

void TFormEditORB::TimerHidePanelImgWMTimer() {
    SlideOut(PanelImgWM, TimerHidePanelImgWM);
}

// A crop, resize or watermark still under way is not a finished edit and is dropped first; a
// resize under way would otherwise leave an empty picture to be saved. At closing the prompt
// offers no way back: its close box keeps nothing, and the window closes in every case.
void TFormEditORB::FormCloseQuery() {
    CancelPendingTool();
    if (FEditScript.CountActiveActions() < 1)
        return;
    TFormChanged prompt(this, *this);
    kw::ShowModal(prompt);
}

void TFormEditORB::FormClose() {
    for (QTimer* timer :
         {&TimerShowPanelTextWM, &TimerHidePanelTextWM, &TimerShowPanelImgWM, &TimerHidePanelImgWM})
        timer->stop();
    CancelPendingTool();
    FHistory.Clear();
    FBackup.SetEmpty();
}

void TFormEditORB::closeEvent(QCloseEvent* event) {
    kw::Guarded([this] {
        FormCloseQuery();
        FormClose();
    });
    QDialog::closeEvent(event);
}

bool TFormEditORB::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool ours = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
        if (ours && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
            kw::Guarded([&] { FormShortCut(key); });
            return true;
        }
        break;
    }
    case QEvent::Enter:
        if (watched == BtnPrevious)
            ShowStatusHint(QStringLiteral("Show previous frame"));
        else if (watched == BtnNext)
            ShowStatusHint(QStringLiteral("Show next frame"));
        break;
    case QEvent::Leave:
        if (watched == BtnPrevious || watched == BtnNext)
            ClearStatusBar();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

#include "output/save_gif.h"

#include "codecs/anim_writer.h"
#include "codecs/gif_estimate.h"
#include "codecs/gif_limits.h"
#include "common/kw_color_portal.h"
#include "common/kw_common.h"
#include "common/kw_memory.h"
#include "common/orb_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "frames/thumbnails.h"
#include "output/frame_pick_view.h"
#include "output/preview_page.h"
#include "skin/artwork.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"

#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>

#include <cstdlib>

using namespace output;

namespace {
const QRect RectWidth(89, 37, 73, 22);
const QRect RectHeight(89, 65, 73, 22);
const QRect RectDelay(89, 95, 73, 22);
const QRect RectLoops(89, 122, 73, 22);
const QRect RectAnimQuality(272, 243, 61, 22);
constexpr int ArrowOffset = 58;
// The border a colour panel shows while no colour is being picked.
const QColor InactiveBorder(0xD4, 0xD0, 0xC8);
const QString SmallerHint = QStringLiteral(
    "Pixels that did not change become transparent and each frame keeps only the part that "
    "changed.");
const QString SmallerUnavailable = QStringLiteral(
    "Not with a transparent color: the transparent entry of each frame keeps the pixels that "
    "did not change.");
// The colour choice of the last window, kept while the program runs.
codecs::TGifQuality LastQuality = codecs::TGifQuality::Standard;
// The quality chosen for each of the other file types, kept while the program runs; -1 for
// the type's default.
int LastAnimQuality[std::size(codecs::AnimFormats)] = {-1, -1, -1, -1, -1};
const QString WebpQualityHint =
    QStringLiteral("WebP quality, 0 to 100: higher keeps more of the picture in a larger file.");
const QString VideoQualityHint =
    QStringLiteral("Constant rate factor: lower keeps more of the picture in a larger file.");
const QString ScreenUnreadable =
    QStringLiteral("The screen could not be read, so no color was picked from it.");
const QString PickerHint =
    QStringLiteral("Click to pick transparent color, and press F12 to hold the color.");
// The estimate runs in the background after every change, dropped by the next one or by Save
// without waiting for it. It takes at most this much memory (a frame of some 6000 x 6000
// pixels on one worker, a second or so); a larger GIF is too large to estimate.
constexpr qint64 EstimateBytes = qint64(256) << 20;
} // namespace

// --- The operations ----------------------------------------------------------------------

bool output::ProportionalSize(int value, int from, int to, std::int64_t& result) {
    if (from == 0)
        return false;
    // Exact: value * to fits 62 bits, so the half is seen as a half.
    const std::int64_t q = std::int64_t(value) * to;
    std::int64_t n = q / from;
    const std::int64_t twice = 2 * std::abs(q % from), whole = std::abs(std::int64_t(from));
    if (twice > whole || (twice == whole && n % 2 != 0))
        n += (q < 0) != (from < 0) ? -1 : 1;
    result = n;
    return true;
}

void output::WriteGIFPreviewPage(const QString& gifPath, int width, int height, int loops,
                                 int frameCount, const QString& sizeText, QWidget* owner,
                                 bool video) {
    TGifPreviewValues values;
    values.GifPath = gifPath;
    values.Width = width;
    values.Height = height;
    values.Loops = loops;
    values.FrameCount = frameCount;
    values.SizeText = sizeText;
    values.Video = video;
    const QString page = WriteGifPreviewPageFile(GifPreviewTemplate(), values);
    if (kw::OkCancelBox(
            owner, QStringLiteral("Complete"),
            QStringLiteral("Task completed! Click [OK] to check it or click [Cancel] to return.")))
        kw::OpenWithShell(owner, page);
}

std::optional<TGifJob> output::AskForGif(TThumbnails& thumbnails, const QString& path,
                                         bool allFrames, const codecs::TGifSettings& settings,
                                         QWidget* owner) {
    TGifJob job;
    job.Frames = thumbnails.Snapshot(allFrames ? TFrameChoice::All : TFrameChoice::Selected);
    if (job.Frames.IsEmpty()) {
        kw::WarningBox(owner ? owner : &thumbnails, QStringLiteral("Warning"),
                       QStringLiteral("No images found."));
        return std::nullopt;
    }
    job.Path = path;
    job.Settings = settings;
    return job;
}

std::int64_t output::WriteGif(const TGifJob& job, const std::function<void(int)>& progress) {
    if (job.Anim) {
        // The size and the encoder's memory are checked here, before any frame is read.
        codecs::TAnimWriter writer(*job.Anim, job.Path);
        for (int i = 0; i < job.Frames.Count(); ++i) {
            job.Frames.ReadAhead(i + 1);
            writer.AddFrame(job.Frames.Picture(i));
            if (progress)
                progress(i);
        }
        writer.Finish();
        return writer.Size();
    }
    // The size and the workers' memory are checked here, before any frame is read.
    codecs::TAnimatedGif gif(job.Settings);
    gif.OnFrameDone = progress;
    for (int i = 0; i < job.Frames.Count(); ++i) {
        job.Frames.ReadAhead(i + 1);
        gif.AddFrame(job.Frames.Picture(i));
    }
    gif.Finish();
    gif.SaveToFile(job.Path);
    return gif.Size();
}

void output::GifWritten(TThumbnails& thumbnails, const TGifJob& job, std::int64_t size,
                        QWidget* owner) {
    // Only a file that was written whole takes the frames off the quit question.
    thumbnails.MarkWritten(job.Frames);
    const codecs::TAnimFormatInfo& info =
        codecs::AnimFormatInfo(job.Anim ? job.Anim->Format : codecs::TAnimFormat::Gif);
    WriteGIFPreviewPage(job.Path, job.Settings.Width, job.Settings.Height,
                        info.Loops ? job.Settings.Loops : 0, job.Frames.Count(),
                        kw::FileSizeText(size), owner ? owner : &thumbnails, info.Video);
}

void output::SaveAsGIF(TThumbnails& thumbnails, const QString& path, bool allFrames,
                       const codecs::TGifSettings& settings, TTeProgressBar* progressBar) {
    QWidget* owner = progressBar ? progressBar->window() : nullptr;
    const std::optional<TGifJob> job = AskForGif(thumbnails, path, allFrames, settings, owner);
    if (!job)
        return;
    if (progressBar)
        progressBar->setRange(0, std::max(0, job->Frames.Count() - 1));
    const std::int64_t size = WriteGif(*job, [&](int i) {
        if (progressBar)
            progressBar->setValue(i);
    });
    if (progressBar)
        progressBar->setValue(0);
    GifWritten(thumbnails, *job, size, owner);
}

// --- The window --------------------------------------------------------------------------

TFormSaveGIF::TFormSaveGIF(TThumbnails* thumbnails, QWidget* owner)
    : TOutputDialog(owner, QStringLiteral("Save As GIF Image"), 351, 404), FThumbnails(thumbnails) {
    setObjectName(QStringLiteral("FormSaveGIF"));
    auto* dock = new TDockLayout(this);
    panel_source_frame = MakeSourcePanel(this, 56, Rb_allframes, Rb_selected);
    FirstFramePick = new TFramePickView(panel_source_frame);
    FirstFramePick->setObjectName(QStringLiteral("FirstFramePick"));
    FirstFramePick->setGeometry(262, 5, 76, 46);
    panel_settings = skin::MakeSettingsPanel(this, "panel_settings");
    panel_settings->resize(345, 276); // two rows below the colour settings
    dock->AddWidget(panel_settings, TAlign::Top, QMargins(3, 0, 3, 0));
    ProgressBar1 = new TTeProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->resize(347, 16);
    dock->AddWidget(ProgressBar1, TAlign::Bottom, QMargins(2, 0, 2, 0));
    panel_bottom = skin::MakeSettingsPanel(this, "panel_bottom");
    dock->AddWidget(panel_bottom, TAlign::Client, QMargins(3, 3, 3, 3));
    Btn_Save = skin::MakeSettingsButton(panel_bottom, "Btn_Save", QStringLiteral("Save"),
                                        QRect(165, 9, 75, 25));
    Btn_Cancel = skin::MakeSettingsButton(panel_bottom, "Btn_Cancel", QStringLiteral("Cancel"),
                                          QRect(254, 9, 75, 25));

    QWidget* p = panel_settings;
    skin::MakeSettingsLabel(p, QStringLiteral("GIF Animation Settings:"), 12, 11, true);
    skin::MakeSettingsLabel(p, QStringLiteral("GIF Width : "), 26, 40);
    Edit_width = MakeOutputEdit(p, "Edit_width", RectWidth, QStringLiteral("1"));
    UpDown_Width = MakeOutputUpDown(Edit_width, "UpDown_Width", 1, 10000, 10);
    skin::MakeSettingsLabel(p, QStringLiteral("GIF Height : "), 23, 68);
    Edit_Height = MakeOutputEdit(p, "Edit_Height", RectHeight, QStringLiteral("1"));
    UpDownHeight = MakeOutputUpDown(Edit_Height, "UpDownHeight", 1, 10000, 10);
    ImageCP = new QLabel(p);
    ImageCP->setObjectName(QStringLiteral("ImageCP"));
    ImageCP->setGeometry(165, 49, 24, 25);
    ImageCP->setPixmap(QPixmap::fromImage(ArtConstrainProportions()));
    ImageCP->setStyleSheet(QStringLiteral("background: transparent;"));
    CheckBoxCP = new TTeCheckBox(QStringLiteral("Constrain Proportions"), p);
    CheckBoxCP->setObjectName(QStringLiteral("CheckBoxCP"));
    CheckBoxCP->setGeometry(197, 53, 132, 17);
    CheckBoxCP->setChecked(true);
    lb_framedelay = skin::MakeSettingsLabel(p, QStringLiteral("Frame Delay : "), 14, 98);
    edit_delay = MakeOutputEdit(p, "edit_delay", RectDelay, QStringLiteral("150"));
    UpDown_Delay = MakeOutputUpDown(edit_delay, "UpDown_Delay", 10, 32767, 10);
    lb_millisecond = skin::MakeSettingsLabel(p, QStringLiteral("Milliseconds"), 169, 99);
    lb_loops = skin::MakeSettingsLabel(p, QStringLiteral("Loops : "), 46, 125);
    edit_loops = MakeOutputEdit(p, "edit_loops", RectLoops, QStringLiteral("0"));
    UpDown_Loops = MakeOutputUpDown(edit_loops, "UpDown_Loops", 0, 32767, 1);
    lb_zero = skin::MakeSettingsLabel(p, QStringLiteral("(0 means loop forever)"), 167, 125);
    CheckBoxGray = new TTeCheckBox(QStringLiteral("256 grayscale GIF image"), p);
    CheckBoxGray->setObjectName(QStringLiteral("CheckBoxGray"));
    CheckBoxGray->setGeometry(12, 156, 210, 20);
    ComboBoxQuality = new QComboBox(p);
    ComboBoxQuality->setObjectName(QStringLiteral("ComboBoxQuality"));
    ComboBoxQuality->setGeometry(228, 155, 105, 22);
    ComboBoxQuality->addItems({QStringLiteral("Standard"), QStringLiteral("Best quality")});
    ComboBoxQuality->setCurrentIndex(LastQuality == codecs::TGifQuality::Best ? 1 : 0);
    ComboBoxQuality->setToolTip(QStringLiteral(
        "Standard: fast colors. Best quality: nearer colors and less banding, slower."));
    CheckBoxSmaller = new TTeCheckBox(QStringLiteral("Smaller file"), p);
    CheckBoxSmaller->setObjectName(QStringLiteral("CheckBoxSmaller"));
    CheckBoxSmaller->setGeometry(12, 212, 120, 20);
    CheckBoxSmaller->setToolTip(SmallerHint);
    LabelEstimate = skin::MakeSettingsLabel(p, QString(), 144, 215);
    LabelEstimate->setObjectName(QStringLiteral("LabelEstimate"));
    LabelEstimate->resize(195, 16);
    CheckBoxTransColor = new TTeCheckBox(QStringLiteral("Transparent Color"), p);
    CheckBoxTransColor->setObjectName(QStringLiteral("CheckBoxTransColor"));
    CheckBoxTransColor->setGeometry(12, 184, 141, 20);
    CheckBoxTransColor->setToolTip(PickerHint);
    for (TTeCheckBox* box : {CheckBoxCP, CheckBoxGray, CheckBoxTransColor, CheckBoxSmaller})
        skin::SetWhiteCaption(box);
    PanelTransColor = new TKWLinePanel(p);
    PanelTransColor->setObjectName(QStringLiteral("PanelTransColor"));
    PanelTransColor->setGeometry(144, 183, 102, 22);
    PanelTransColor->SetBorderWidth(1);
    PanelTransColor->SetBorderColor1(InactiveBorder);
    PanelTransColor->SetBorderColor2(Qt::black);
    PanelTransColor->SetBorderColor3(Qt::black);
    PanelTransColor->SetColor(QColor::fromRgb(Silver));
    PanelTransColor->setToolTip(PickerHint);
    skin::MakeSettingsLabel(p, QStringLiteral("File Type : "), 19, 246);
    ComboBoxFormat = new QComboBox(p);
    ComboBoxFormat->setObjectName(QStringLiteral("ComboBoxFormat"));
    ComboBoxFormat->setGeometry(89, 243, 118, 22);
    for (const codecs::TAnimFormat f : codecs::AnimFormats) {
        const QString label = codecs::AnimFormatInfo(f).Label;
        ComboBoxFormat->addItem(label.left(label.indexOf(QStringLiteral(" ("))));
    }
    ComboBoxFormat->setToolTip(QStringLiteral("The save dialog offers every type too."));
    lb_anim_quality = skin::MakeSettingsLabel(p, QStringLiteral("Quality : "), 216, 246);
    EditAnimQuality = MakeOutputEdit(p, "EditAnimQuality", RectAnimQuality);
    UpDownAnimQuality = MakeOutputUpDown(EditAnimQuality, "UpDownAnimQuality", 0, 100, 1);
    for (TTeEdit* field : {Edit_width, Edit_Height, edit_delay, edit_loops, EditAnimQuality})
        kw::InstallDigitFilter(field);

    TimerColorPicker.setInterval(100);
    connect(&TimerColorPicker, &QTimer::timeout, this,
            kw::Guard([this] { TimerColorPickerTimer(); }));
    connect(Edit_width, &QLineEdit::textChanged, this, kw::Guard([this] { Edit_widthChange(); }));
    connect(Edit_Height, &QLineEdit::textChanged, this, kw::Guard([this] { Edit_HeightChange(); }));
    connect(CheckBoxCP, &QCheckBox::toggled, this, kw::Guard([this] { CheckBoxCPClick(); }));
    connect(CheckBoxTransColor, &QCheckBox::toggled, this,
            kw::Guard([this] { CheckBoxTransColorClick(); }));
    connect(PanelTransColor, &TKWLinePanel::Clicked, this,
            kw::Guard([this] { PanelTransColorClick(); }));
    connect(Btn_Save, &QPushButton::clicked, this, kw::Guard([this] { Btn_SaveClick(); }));
    connect(FirstFramePick, &TFramePickView::Picked, this, [this](QRgb colour) {
        // Works in every session: the frame's own pixel, whatever the screen allows.
        ++FPickNumber; // a pending answer of the desktop's picker is dropped
        TimerColorPicker.stop();
        if (!CheckBoxTransColor->isChecked()) {
            const QSignalBlocker quiet(CheckBoxTransColor);
            CheckBoxTransColor->setChecked(true);
            PanelTransColor->setCursor(Qt::PointingHandCursor);
            PanelTransColor->SetBorderColor1(Qt::black);
            CheckBoxTransColorSmaller();
            SettingsChange();
        }
        PanelTransColor->SetColor(QColor::fromRgb(colour));
    });
    connect(Btn_Cancel, &QPushButton::clicked, this, kw::Guard([this] { Btn_CancelClick(); }));
    connect(&FGif, &kw::TLongWork::Ended, this,
            [this](kw::TWorkOutcome outcome) { kw::Guarded([&] { GifEnded(outcome); }); });
    SetBusyParts({Btn_Save}, Btn_Cancel, ProgressBar1);
    connect(this, &QDialog::finished, this, [this] { TimerColorPicker.stop(); });

    EstimateTimer.setSingleShot(true);
    EstimateTimer.setInterval(150);
    connect(&EstimateTimer, &QTimer::timeout, this, kw::Guard([this] { EstimateTimerTimer(); }));
    connect(ComboBoxQuality, &QComboBox::currentIndexChanged, this,
            kw::Guard([this] { ComboBoxQualityChange(); }));
    connect(ComboBoxFormat, &QComboBox::currentIndexChanged, this,
            kw::Guard([this] { ComboBoxFormatChange(); }));
    connect(EditAnimQuality, &QLineEdit::textEdited, this, [this] {
        if (Format() != codecs::TAnimFormat::Gif)
            LastAnimQuality[ComboBoxFormat->currentIndex()] =
                EditAnimQuality->text().isEmpty() ? -1 : kw::StrToInt(EditAnimQuality->text());
    });
    ComboBoxFormatChange();
    connect(CheckBoxTransColor, &QCheckBox::toggled, this,
            kw::Guard([this] { CheckBoxTransColorSmaller(); }));
    for (QLineEdit* field :
         {static_cast<QLineEdit*>(Edit_width), static_cast<QLineEdit*>(Edit_Height),
          static_cast<QLineEdit*>(EditAnimQuality)})
        connect(field, &QLineEdit::textChanged, this, [this] { SettingsChange(); });
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(CheckBoxGray),
                                 static_cast<QAbstractButton*>(CheckBoxSmaller),
                                 static_cast<QAbstractButton*>(CheckBoxTransColor),
                                 static_cast<QAbstractButton*>(Rb_allframes)})
        connect(box, &QAbstractButton::toggled, this, [this] { SettingsChange(); });
}

TFormSaveGIF::~TFormSaveGIF() = default;

void TFormSaveGIF::FormShow() {
    PlaceUpDown(UpDown_Width, Edit_width, RectWidth, ArrowOffset);
    PlaceUpDown(UpDownHeight, Edit_Height, RectHeight, ArrowOffset);
    PlaceUpDown(UpDown_Delay, edit_delay, RectDelay, ArrowOffset);
    PlaceUpDown(UpDown_Loops, edit_loops, RectLoops, ArrowOffset);
    PlaceUpDown(UpDownAnimQuality, EditAnimQuality, RectAnimQuality, RectAnimQuality.width() - 15);
    // The first frame's own size, whichever frames are chosen.
    if (FThumbnails && FThumbnails->Count() > 0) {
        const QSize first = FThumbnails->FrameSizeAt(0);
        Edit_width->setText(QString::number(first.width()));
        Edit_Height->setText(QString::number(first.height()));
        try {
            FirstFramePick->SetPicture(FThumbnails->Snapshot(TFrameChoice::All).Picture(0));
        } catch (const std::exception&) {
            FirstFramePick->SetPicture(QImage()); // an unreadable frame: nothing to pick from
        }
    }
    SettingsChange();
}

void TFormSaveGIF::KeepProportions(TTeEdit* changed, TTeEdit* other, bool fromWidth) {
    // Only what the user types: the program's own changes (the first size, the other field's
    // result) happen while the field does not have the focus.
    if (!changed->hasFocus() || !CheckBoxCP->isChecked() || changed->text().isEmpty())
        return;
    const int value = kw::StrToInt(changed->text());
    const int width = FThumbnails->FrameWidth(), height = FThumbnails->FrameHeight();
    std::int64_t result = 0;
    if (!ProportionalSize(value, fromWidth ? width : height, fromWidth ? height : width, result)) {
        changed->clear();
        return;
    }
    other->setText(QString::number(result));
}

void TFormSaveGIF::Edit_widthChange() {
    KeepProportions(Edit_width, Edit_Height, true);
}

void TFormSaveGIF::Edit_HeightChange() {
    KeepProportions(Edit_Height, Edit_width, false);
}

void TFormSaveGIF::CheckBoxCPClick() {
    ImageCP->setVisible(CheckBoxCP->isChecked());
}

void TFormSaveGIF::CheckBoxTransColorClick() {
    if (CheckBoxTransColor->isChecked()) {
        PanelTransColor->setCursor(Qt::PointingHandCursor);
        PanelTransColor->SetBorderColor1(Qt::black);
        PanelTransColor->SetColor(Qt::white);
        PanelTransColorClick();
    } else {
        // The timer may go on ticking: it changes nothing while the box is unchecked.
        PanelTransColor->unsetCursor();
        PanelTransColor->SetBorderColor1(InactiveBorder);
        PanelTransColor->SetColor(QColor::fromRgb(Silver));
    }
}

void TFormSaveGIF::PanelTransColorClick() {
    if (!CheckBoxTransColor->isChecked())
        return;
    // The desktop's own picker first; where there is none, the panel follows the pointer.
    const int number = ++FPickNumber;
    QPointer<TFormSaveGIF> self(this);
    kw::Desktop().PickScreenColor(this, [self, number](int result, QRgb colour) {
        if (!self || number != self->FPickNumber || !self->CheckBoxTransColor->isChecked())
            return; // unchecked or picked anew meanwhile
        if (result == int(kw::TPickResult::Picked))
            self->PanelTransColor->SetColor(QColor::fromRgb(colour));
        else if (result == int(kw::TPickResult::Unavailable))
            self->TimerColorPicker.start();
    });
}

void TFormSaveGIF::TimerColorPickerTimer() {
    FLastMousePos = QCursor::pos();
    if (!CheckBoxTransColor->isChecked())
        return;
    const std::optional<QRgb> pixel = kw::Desktop().ScreenPixel(FLastMousePos);
    if (!pixel) {
        // Never a black that nobody picked: the colour stays, and the user is told.
        TimerColorPicker.stop();
        kw::WarningBox(this, QStringLiteral("Transparent Color"), ScreenUnreadable);
        return;
    }
    PanelTransColor->SetColor(QColor::fromRgb(*pixel));
}

bool TFormSaveGIF::FormShortCut(int key) {
    if (key != Qt::Key_F12 || !CheckBoxTransColor->isChecked())
        return false;
    TimerColorPicker.stop();
    return true;
}

void TFormSaveGIF::keyPressEvent(QKeyEvent* event) {
    if (FormShortCut(event->key())) {
        event->accept();
        return;
    }
    TOutputDialog::keyPressEvent(event);
}

void TFormSaveGIF::Btn_SaveClick() {
    if (FGif.Running())
        return;
    FEstimate.Drop(); // the cores are the file's now
    kw::TFileDialogRequest request;
    request.Owner = this;
    request.Title = QStringLiteral("Save As");
    if (GlbCfg && !GlbCfg->LastGIFDir.isEmpty())
        request.InitialDir = GlbCfg->LastGIFDir;
    QStringList entries;
    for (const codecs::TAnimFormat f : codecs::AnimFormats)
        entries << codecs::AnimFormatInfo(f).Label
                << QStringLiteral("*") + codecs::AnimFormatInfo(f).Extension;
    request.Filter = entries.join(QLatin1Char('|'));
    request.FilterIndex = ComboBoxFormat->currentIndex() + 1;
    QString path = kw::Desktop().SaveFileName(request);
    if (path.isEmpty())
        return;
    if (GlbCfg)
        GlbCfg->LastGIFDir = QFileInfo(path).absolutePath();
    const int chosen = std::clamp(request.FilterIndex, 1, int(std::size(codecs::AnimFormats))) - 1;
    {
        const QSignalBlocker quiet(ComboBoxFormat); // no new estimate: the file comes first
        ComboBoxFormat->setCurrentIndex(chosen);
        ComboBoxFormatChange();
    }
    path = EnsureExtension(path, codecs::AnimFormatInfo(Format()).Extension);
    const codecs::TGifSettings settings = Settings();
    std::optional<codecs::TAnimSettings> anim;
    if (Format() != codecs::TAnimFormat::Gif)
        anim = AnimSettings();
    FJob = AskForGif(*FThumbnails, path, Rb_allframes->isChecked(), settings, this);
    if (!FJob)
        return;
    FJob->Anim = anim;
    FGifSize = std::make_shared<std::int64_t>(0);
    FGif.Start(
        [job = *FJob, size = FGifSize](kw::TJob& work) {
            *size = WriteGif(job, [&](int i) {
                work.Progress(i);
                work.CheckCancel();
            });
        },
        OutputBusy(FJob->Frames.Count()));
}

void TFormSaveGIF::GifEnded(kw::TWorkOutcome outcome) {
    const std::optional<TGifJob> job = std::exchange(FJob, std::nullopt);
    if (outcome == kw::TWorkOutcome::Done && job) {
        // The page and its question are the end of the output: the window stays busy, Cancel
        // too, until the question is answered.
        kw::TBusySpec busy;
        busy.Window = this;
        busy.Disable = {Btn_Save, Btn_Cancel};
        kw::TBusyScope scope(busy);
        GifWritten(*FThumbnails, *job, *FGifSize, this);
    } else if (outcome == kw::TWorkOutcome::Failed)
        FGif.ShowError();
}

codecs::TAnimFormat TFormSaveGIF::Format() const {
    return codecs::AnimFormats[std::clamp(ComboBoxFormat->currentIndex(), 0,
                                          int(std::size(codecs::AnimFormats)) - 1)];
}

codecs::TAnimSettings TFormSaveGIF::AnimSettings() const {
    const codecs::TGifSettings gif = Settings();
    codecs::TAnimSettings settings;
    settings.Format = Format();
    settings.Width = gif.Width;
    settings.Height = gif.Height;
    settings.DelayMs = gif.DelayMs;
    settings.Loops = gif.Loops;
    settings.Gray = gif.Gray;
    settings.Transparent = gif.Transparent && CheckBoxTransColor->isEnabled();
    settings.TransparentColor = gif.TransparentColor;
    if (codecs::AnimFormatInfo(settings.Format).HasQuality)
        settings.Quality = kw::StrToInt(EditAnimQuality->text());
    return settings;
}

void TFormSaveGIF::ComboBoxFormatChange() {
    const codecs::TAnimFormat format = Format();
    const codecs::TAnimFormatInfo& info = codecs::AnimFormatInfo(format);
    const bool gif = format == codecs::TAnimFormat::Gif;
    ComboBoxQuality->setEnabled(gif);
    CheckBoxSmaller->setEnabled(gif && !CheckBoxTransColor->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{lb_loops, edit_loops, UpDown_Loops, lb_zero})
        w->setEnabled(info.Loops);
    CheckBoxTransColor->setEnabled(info.Transparency);
    FirstFramePick->setEnabled(info.Transparency);
    PanelTransColor->setEnabled(info.Transparency);
    for (QWidget* w :
         std::initializer_list<QWidget*>{lb_anim_quality, EditAnimQuality, UpDownAnimQuality})
        w->setEnabled(info.HasQuality);
    const QSignalBlocker quiet(EditAnimQuality);
    if (info.HasQuality) {
        UpDownAnimQuality->SetMin(info.QualityMin);
        UpDownAnimQuality->SetMax(info.QualityMax);
        const int last = LastAnimQuality[ComboBoxFormat->currentIndex()];
        EditAnimQuality->setText(QString::number(
            last < 0 ? info.QualityDefault : std::clamp(last, info.QualityMin, info.QualityMax)));
        EditAnimQuality->setToolTip(info.Video ? VideoQualityHint : WebpQualityHint);
    } else {
        EditAnimQuality->clear();
        EditAnimQuality->setToolTip(QString());
    }
    SettingsChange();
}

codecs::TGifSettings TFormSaveGIF::Settings() const {
    codecs::TGifSettings settings;
    settings.Width = kw::StrToInt(Edit_width->text());
    settings.Height = kw::StrToInt(Edit_Height->text());
    settings.DelayMs = kw::StrToInt(edit_delay->text());
    settings.Loops = kw::StrToInt(edit_loops->text());
    settings.Gray = CheckBoxGray->isChecked();
    settings.Transparent = CheckBoxTransColor->isChecked();
    settings.TransparentColor = PanelTransColor->Color().rgb();
    settings.Quality = ComboBoxQuality->currentIndex() == 1 ? codecs::TGifQuality::Best
                                                            : codecs::TGifQuality::Standard;
    settings.Smaller = CheckBoxSmaller->isChecked() && !settings.Transparent;
    return settings;
}

void TFormSaveGIF::Btn_CancelClick() {
    if (FGif.Running())
        FGif.Cancel();
    else
        reject();
}

void TFormSaveGIF::ComboBoxQualityChange() {
    LastQuality = ComboBoxQuality->currentIndex() == 1 ? codecs::TGifQuality::Best
                                                       : codecs::TGifQuality::Standard;
    SettingsChange();
}

void TFormSaveGIF::CheckBoxTransColorSmaller() {
    const bool transparent = CheckBoxTransColor->isChecked();
    if (transparent)
        CheckBoxSmaller->setChecked(false);
    CheckBoxSmaller->setEnabled(!transparent && Format() == codecs::TAnimFormat::Gif);
    CheckBoxSmaller->setToolTip(transparent ? SmallerUnavailable : SmallerHint);
}

void TFormSaveGIF::SettingsChange() {
    EstimateTimer.start(); // restarts: one estimate after a burst of changes
}

void TFormSaveGIF::EstimateTimerTimer() {
    FEstimate.Drop(); // its result, should it still come, is dropped
    codecs::TGifSettings settings;
    codecs::TAnimSettings anim;
    const bool gif = Format() == codecs::TAnimFormat::Gif;
    TFrameSnapshot frames;
    try {
        settings = Settings();
        if (!gif)
            anim = AnimSettings();
        if (!FThumbnails)
            return;
        frames = FThumbnails->Snapshot(Rb_allframes->isChecked() ? TFrameChoice::All
                                                                 : TFrameChoice::Selected);
        if (!(gif ? codecs::GifSizeWritable(settings) : codecs::AnimSizeWritable(anim)) ||
            frames.IsEmpty()) {
            LabelEstimate->clear();
            return;
        }
    } catch (const std::exception&) {
        LabelEstimate->clear(); // a field that is not a number yet: no estimate
        return;
    }
    int threads = 0;
    const std::vector<int> positions =
        gif ? EstimateSample(frames, settings, threads) : AnimEstimateSample(frames, anim);
    if (positions.empty()) {
        LabelEstimate->setText(QStringLiteral("too large to estimate"));
        return;
    }
    LabelEstimate->setText(QStringLiteral("Estimating size ..."));
    // The sample is read on the worker too: reading frames from the store takes disk time.
    // Starting replaces an estimate still running: it is cancelled and its posts dropped.
    FEstimate.Start([this, frames, positions, settings, anim, gif, threads](kw::TJob& job) {
        std::int64_t size = -1;
        auto read = [&frames, &job](int p) {
            job.CheckCancel();
            return frames.Picture(p);
        };
        try {
            if (gif) {
                size = codecs::EstimateGifSize(frames.Count(), positions, read, settings,
                                               &job.CancelFlag(), threads);
            } else {
                std::vector<QImage> sample;
                for (const int p : positions)
                    sample.push_back(read(p));
                size = codecs::EstimateAnimSize(frames.Count(), sample, anim, &job.CancelFlag());
            }
        } catch (...) {
            size = -1; // shown as no estimate; saving reports the reason
        }
        job.CheckCancel();
        // Runs only while this window's handle reports on this estimate.
        job.Post([this, size] {
            LabelEstimate->setText(
                size < 0 ? QString()
                         : QStringLiteral("Estimated size: %1").arg(kw::FileSizeText(size)));
        });
    });
}

std::vector<int> TFormSaveGIF::AnimEstimateSample(const TFrameSnapshot& frames,
                                                  const codecs::TAnimSettings& settings) const {
    // The run of neighbours the encoder needs, shortened from its end until the frames and
    // the encoder fit the estimate's memory.
    std::vector<int> positions = codecs::AnimEstimateSample(frames.Count());
    const qint64 working = codecs::AnimWorkingBytes(settings);
    while (!positions.empty()) {
        qint64 sampleBytes = 0;
        for (const int p : positions)
            sampleBytes += kw::FrameBytes(frames.Size(p), QImage::Format_RGB32);
        if (working + sampleBytes <= EstimateBytes && kw::RoomForFrame(working + sampleBytes))
            return positions;
        positions.pop_back();
    }
    return {};
}

std::vector<int> TFormSaveGIF::EstimateSample(const TFrameSnapshot& frames,
                                              const codecs::TGifSettings& settings,
                                              int& threads) const {
    std::vector<int> positions = codecs::GifEstimateSample(frames.Count(), settings);
    while (!positions.empty()) {
        // The sample's frames are read one after another and handed to the encoder, which
        // holds at most two per worker besides the one read and the one before it: the
        // memory counts those, the largest frame of the sample each, not the whole sample.
        qint64 largest = 0;
        for (const int p : positions)
            largest = std::max(largest, kw::FrameBytes(frames.Size(p), QImage::Format_RGB32));
        const auto held = [&](int workers) {
            return largest * std::min<qint64>(qint64(positions.size()), 2 * workers + 2);
        };
        for (threads = codecs::WorkerCount(0); threads > 0; --threads)
            if (const qint64 need = codecs::GifWorkingBytes(settings, threads) + held(threads);
                need <= EstimateBytes && kw::RoomForFrame(need))
                return positions;
        if (positions.size() == 1)
            break;
        positions = codecs::GifEstimateSample(frames.Count(), settings,
                                              int(positions.size()) / 2); // half the sample
    }
    return {};
}

#include "output/form_export_frames.h"

#include "codecs/picture_writer.h"
#include "common/kw_common.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "frames/thumbnails.h"
#include "output/export_core.h"
#include "output/preview_page.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"
#include "skin/te_trackbar.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>

#include <utility>

using namespace output;

TFormExportFrames::TFormExportFrames(TThumbnails* thumbnails, QWidget* owner)
    : TOutputDialog(owner, QStringLiteral("Export captured frames"), 314, 310),
      FThumbnails(thumbnails) {
    setObjectName(QStringLiteral("FormExportFrames"));
    auto* dock = new TDockLayout(this);

    PanelSrcFrame = skin::MakeSettingsPanel(this, "PanelSrcFrame");
    PanelSrcFrame->resize(308, 48);
    dock->AddWidget(PanelSrcFrame, TAlign::Top, QMargins(3, 3, 3, 3));
    skin::MakeSettingsLabel(PanelSrcFrame, QStringLiteral("Export:"), 12, 7, true);
    RBAll = skin::MakeSettingsRadio(PanelSrcFrame, "RBAll", QStringLiteral("All frames"),
                                    QPoint(22, 24));
    RBAll->setChecked(true);
    RBSelect = skin::MakeSettingsRadio(PanelSrcFrame, "RBSelect", QStringLiteral("Selected frames"),
                                       QPoint(139, 24));

    TeProgressBar = new TTeProgressBar(this);
    TeProgressBar->setObjectName(QStringLiteral("TeProgressBar"));
    TeProgressBar->resize(314, 16);
    TeProgressBar->setRange(0, 100);
    dock->AddWidget(TeProgressBar, TAlign::Bottom);

    BtnOutFolder = skin::MakeSettingsButton(
        this, "BtnOutFolder", QStringLiteral("Select the output folder"), QRect(7, 71, 137, 25));
    EditOutputFolder = MakeOutputEdit(this, "EditOutputFolder", QRect(9, 102, 295, 21));
    // Only the folder chooser fills it: disabled, its text in a dark grey.
    EditOutputFolder->setEnabled(false);
    EditOutputFolder->setStyleSheet(QStringLiteral("QLineEdit:disabled { color: #404040; }"));
    skin::MakeSettingsLabel(this, QStringLiteral("Output file name:"), 10, 148, true);
    EditFileName = MakeOutputEdit(this, "EditFileName", QRect(12, 168, 105, 21));
    EditFileCount =
        MakeOutputEdit(this, "EditFileCount", QRect(126, 168, 45, 21), QStringLiteral("1"));
    kw::InstallDigitFilter(EditFileCount, [this] {
        kw::WarningBox(this, QStringLiteral("Warning"),
                       QStringLiteral("Error input, only accept integer!"));
    });
    skin::MakeSettingsLabel(this, QStringLiteral("."), 182, 175, true);
    skin::MakeSettingsLabel(this, QStringLiteral("file format"), 202, 148, true);
    CBFileFormat = new QComboBox(this);
    CBFileFormat->setObjectName(QStringLiteral("CBFileFormat"));
    CBFileFormat->setGeometry(202, 168, 102, 21);
    CBFileFormat->setEditable(false);
    CBFileFormat->addItems({QStringLiteral("JPG"), QStringLiteral("BMP"), QStringLiteral("GIF"),
                            QStringLiteral("PNG")});
    CBFileFormat->setCurrentIndex(0);

    PanelJPGQuality = new QWidget(this);
    PanelJPGQuality->setObjectName(QStringLiteral("PanelJPGQuality"));
    PanelJPGQuality->setGeometry(25, 209, 273, 41);
    skin::MakeSettingsLabel(PanelJPGQuality, QStringLiteral("JPG quality:"), 0, 8, true);
    TrackBarQuality = new TTeTrackBar(PanelJPGQuality);
    TrackBarQuality->setObjectName(QStringLiteral("TrackBarQuality"));
    TrackBarQuality->setGeometry(76, 5, 151, 28);
    TrackBarQuality->SetMin(5);
    TrackBarQuality->SetMax(10);
    TrackBarQuality->SetPageSize(1);
    TrackBarQuality->SetPosition(9);
    LabelQuality = skin::MakeSettingsLabel(PanelJPGQuality, QStringLiteral("9"), 237, 9, true);
    LabelQuality->setObjectName(QStringLiteral("LabelQuality"));
    LabelQuality->setMinimumWidth(20);

    BtnOK = skin::MakeSettingsButton(this, "BtnOK", QStringLiteral("OK"), QRect(135, 261, 75, 25));
    BtnCancel = skin::MakeSettingsButton(this, "BtnCancel", QStringLiteral("Cancel"),
                                         QRect(223, 261, 75, 25));

    // The preview page template of the animated GIF, never shown.
    HtmlMemo = new QPlainTextEdit(this);
    HtmlMemo->setObjectName(QStringLiteral("HtmlMemo"));
    HtmlMemo->setPlainText(output::GifPreviewTemplate().join(QLatin1Char('\n')));
    HtmlMemo->hide();

    connect(BtnOutFolder, &QPushButton::clicked, this, kw::Guard([this] { BtnOutFolderClick(); }));
    connect(CBFileFormat, &QComboBox::currentIndexChanged, this,
            kw::Guard([this] { CBFileFormatChange(); }));
    connect(TrackBarQuality, &TTeTrackBar::OnChange, this,
            kw::Guard([this] { TrackBarQualityChange(); }));
    connect(BtnOK, &QPushButton::clicked, this, kw::Guard([this] { BtnOKClick(); }));
    connect(BtnCancel, &QPushButton::clicked, this, kw::Guard([this] { BtnCancelClick(); }));
    connect(&FExport, &kw::TLongWork::Ended, this,
            [this](kw::TWorkOutcome outcome) { kw::Guarded([&] { ExportEnded(outcome); }); });
    SetBusyParts({BtnOK, BtnOutFolder}, BtnCancel, TeProgressBar);
}

void TFormExportFrames::FormShow() {
    EditOutputFolder->setText(kw::DefaultPicturesDir());
    const QString video = FThumbnails ? FThumbnails->VideoFileName : QString();
    const qsizetype dot = video.lastIndexOf(QLatin1Char('.'));
    QString base = dot >= 0 ? video.left(dot) : video;
    if (!base.isEmpty())
        base += QLatin1Char('-');
    EditFileName->setText(base);
}

void TFormExportFrames::BtnOutFolderClick() {
    const QString folder =
        kw::Desktop().BrowseForFolder(this, QStringLiteral("Select the output folder"));
    if (!folder.isEmpty())
        EditOutputFolder->setText(folder);
}

void TFormExportFrames::CBFileFormatChange() {
    PanelJPGQuality->setVisible(CBFileFormat->currentIndex() == 0);
}

void TFormExportFrames::TrackBarQualityChange() {
    LabelQuality->setText(QString::number(TrackBarQuality->Position()));
}

void TFormExportFrames::BtnOKClick() {
    if (EditOutputFolder->text().isEmpty()) {
        kw::WarningBox(this, QStringLiteral("Warning"),
                       QStringLiteral("Please select the output folder at first!"));
        return;
    }
    const TFrameChoice choice = RBAll->isChecked() ? TFrameChoice::All : TFrameChoice::Selected;
    const TFrameSnapshot frames = FThumbnails->Snapshot(choice);
    output::TExportSettings settings;
    settings.Folder = EditOutputFolder->text();
    settings.BaseName = EditFileName->text();
    settings.StartNumber = output::ExportStartNumber(EditFileCount->text());
    if (!codecs::PictureFormatFromName(CBFileFormat->currentText(), settings.Format))
        settings.Format = codecs::TPictureFormat::Jpg;
    settings.JpegQuality = 10 * TrackBarQuality->Position();
    // The files are written on the long-work engine; the window repaints meanwhile, its
    // buttons off but Cancel, which stops the export after the file being written. A failing
    // file ends the export with the error naming it; the whole files before it stay either way.
    FExportFrames = frames;
    FFilesWritten = std::make_shared<std::atomic<int>>(0);
    FExport.Start(
        [frames, settings, written = FFilesWritten](kw::TJob& job) {
            output::ExportFrames(frames, settings, [&](int i) {
                written->store(i + 1);
                job.Progress(i);
                job.CheckCancel();
            });
        },
        OutputBusy(frames.Count()));
}

void TFormExportFrames::ExportEnded(kw::TWorkOutcome outcome) {
    const TFrameSnapshot frames = std::exchange(FExportFrames, TFrameSnapshot());
    // Exactly the frames whose files were written are marked, whatever ended the export.
    FThumbnails->MarkWritten(frames.First(FFilesWritten ? FFilesWritten->load() : 0));
    if (outcome == kw::TWorkOutcome::Done)
        kw::InfoBox(this, QStringLiteral("Done"), QStringLiteral("Task completed !"));
    else if (outcome == kw::TWorkOutcome::Failed)
        FExport.ShowError();
}

void TFormExportFrames::BtnCancelClick() {
    if (FExport.Running())
        FExport.Cancel();
    else
        reject();
}

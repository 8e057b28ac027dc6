#include "app/form_capture_range.h"

#include "app/unit_main.h"
#include "common/kw_common.h"
#include "common/kw_memory.h"
#include "controls/kw_dock.h"
#include "controls/kw_line_panel.h"
#include "frames/frame_store.h"
#include "frames/thumbnails.h"
#include "skin/settings_panel.h"
#include "skin/te_controls.h"

#include <QFileInfo>
#include <QLabel>
#include <QStringList>

#include <algorithm>

using namespace output;

namespace {

// The mode and numbers chosen last, for the next time the window opens while the program runs.
struct TLastChoice {
    bool Set = false;
    fcvideo::TRangeMode Mode = fcvideo::TRangeMode::Every;
    int Count = 16;
    int Sensitivity = 50;
    int MinGapMs = 500;
};
TLastChoice& LastChoice() {
    static TLastChoice last;
    return last;
}

// The progress bar counts thousandths of the work.
constexpr int ProgressSteps = 1000;

} // namespace

bool ParseMediaTime(const QString& text, std::int64_t& ms) {
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() > 3)
        return false;
    // The seconds, with up to three digits of milliseconds after a point.
    const QString last = parts.back();
    const qsizetype point = last.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? last : last.left(point);
    const QString fraction = point < 0 ? QString() : last.mid(point + 1);
    const auto digits = [](const QString& s, int maxLength) {
        return !s.isEmpty() && s.size() <= maxLength &&
               std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
    };
    if (!digits(whole, 9) || (point >= 0 && !digits(fraction, 3)))
        return false;
    std::int64_t seconds = whole.toLongLong();
    const std::int64_t milli = fraction.isEmpty() ? 0 : fraction.leftJustified(3, '0').toLongLong();
    // Minutes and hours before it: each field after the first below 60.
    std::int64_t minutes = 0, hours = 0;
    if (parts.size() >= 2) {
        if (!digits(parts[parts.size() - 2], 6) || seconds >= 60)
            return false;
        minutes = parts[parts.size() - 2].toLongLong();
    }
    if (parts.size() == 3) {
        if (!digits(parts[0], 4) || minutes >= 60)
            return false;
        hours = parts[0].toLongLong();
    }
    ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + milli;
    return true;
}

TFormCaptureRange::TFormCaptureRange(TThumbnails* thumbnails, const TCaptureSource& source,
                                     QWidget* owner)
    : TOutputDialog(owner, QStringLiteral("Capture Frames"), 384, 336), FThumbnails(thumbnails),
      FSource(source) {
    setObjectName(QStringLiteral("FormCaptureRange"));
    auto* dock = new TDockLayout(this);

    panel_range = skin::MakeSettingsPanel(this, "panel_range");
    panel_range->resize(378, 72);
    dock->AddWidget(panel_range, TAlign::Top, QMargins(3, 3, 3, 3));
    skin::MakeSettingsLabel(panel_range, QStringLiteral("Range:"), 12, 13, true);
    skin::MakeSettingsLabel(panel_range, QStringLiteral("From:"), 22, 42);
    const std::int64_t duration = std::max<std::int64_t>(0, source.DurationMs);
    const std::int64_t from = source.InMs >= 0 ? source.InMs : 0;
    const std::int64_t to = source.OutMs >= 0 ? source.OutMs : duration;
    edit_from = MakeOutputEdit(panel_range, "edit_from", QRect(60, 39, 84, 22),
                               MediaTimeText(from, duration));
    skin::MakeSettingsLabel(panel_range, QStringLiteral("To:"), 160, 42);
    edit_to =
        MakeOutputEdit(panel_range, "edit_to", QRect(184, 39, 84, 22), MediaTimeText(to, duration));
    LabelLength = skin::MakeSettingsLabel(
        panel_range, QStringLiteral("of %1").arg(MediaTimeText(duration, duration)), 278, 42);

    ProgressBar = new TTeProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->resize(380, 16);
    dock->AddWidget(ProgressBar, TAlign::Bottom, QMargins(2, 0, 2, 0));
    panel_bottom = skin::MakeSettingsPanel(this, "panel_bottom");
    panel_bottom->resize(378, 39);
    dock->AddWidget(panel_bottom, TAlign::Bottom, QMargins(3, 3, 3, 3));
    btn_ok = skin::MakeSettingsButton(panel_bottom, "btn_ok", QStringLiteral("OK"),
                                      QRect(196, 8, 75, 25));
    btn_cancel = skin::MakeSettingsButton(panel_bottom, "btn_cancel", QStringLiteral("Cancel"),
                                          QRect(285, 8, 75, 25));

    panel_frames = skin::MakeSettingsPanel(this, "panel_frames");
    dock->AddWidget(panel_frames, TAlign::Client, QMargins(3, 0, 3, 0));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("Frames:"), 12, 13, true);
    const TLastChoice& last = LastChoice();
    Rb_every =
        skin::MakeSettingsRadio(panel_frames, "Rb_every", QStringLiteral("Every"), QPoint(22, 38));
    edit_every = MakeOutputEdit(panel_frames, "edit_every", QRect(104, 36, 56, 22),
                                QString::number(source.EveryMs));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("milliseconds"), 168, 39);
    Rb_count = skin::MakeSettingsRadio(panel_frames, "Rb_count", QString(), QPoint(22, 66));
    edit_count = MakeOutputEdit(panel_frames, "edit_count", QRect(44, 64, 56, 22),
                                QString::number(last.Count));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("frames, evenly spaced from From to To"),
                            108, 67);
    Rb_scenes = skin::MakeSettingsRadio(
        panel_frames, "Rb_scenes",
        QStringLiteral("At scene changes: the first picture of every shot"), QPoint(22, 94));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("Sensitivity:"), 42, 123);
    edit_sensitivity = MakeOutputEdit(panel_frames, "edit_sensitivity", QRect(126, 120, 40, 22),
                                      QString::number(last.Sensitivity));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("(1 to 100)"), 172, 123);
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("At least"), 42, 151);
    edit_gap = MakeOutputEdit(panel_frames, "edit_gap", QRect(126, 148, 56, 22),
                              QString::number(last.MinGapMs));
    skin::MakeSettingsLabel(panel_frames, QStringLiteral("milliseconds apart"), 190, 151);
    const fcvideo::TRangeMode mode = last.Set ? last.Mode : fcvideo::TRangeMode::Every;
    Rb_every->setChecked(mode == fcvideo::TRangeMode::Every);
    Rb_count->setChecked(mode == fcvideo::TRangeMode::Count);
    Rb_scenes->setChecked(mode == fcvideo::TRangeMode::Scenes);
    for (TTeEdit* field : {edit_every, edit_count, edit_sensitivity, edit_gap})
        kw::InstallDigitFilter(field);
    // Typing into a mode's number chooses that mode.
    const auto chooses = [this](TTeEdit* field, TTeRadioButton* radio) {
        connect(field, &QLineEdit::textEdited, radio, [radio] { radio->setChecked(true); });
    };
    chooses(edit_every, Rb_every);
    chooses(edit_count, Rb_count);
    chooses(edit_sensitivity, Rb_scenes);
    chooses(edit_gap, Rb_scenes);

    connect(btn_ok, &QPushButton::clicked, this, kw::Guard([this] { btn_okClick(); }));
    connect(btn_cancel, &QPushButton::clicked, this, kw::Guard([this] { btn_cancelClick(); }));
    connect(&FWork, &kw::TLongWork::Ended, this,
            kw::Guard([this](kw::TWorkOutcome outcome) { WorkEnded(outcome); }));
    SetBusyParts({btn_ok, edit_from, edit_to, Rb_every, Rb_count, Rb_scenes, edit_every, edit_count,
                  edit_sensitivity, edit_gap},
                 btn_cancel, ProgressBar);
}

bool TFormCaptureRange::ReadSettings(fcvideo::TRangeSettings& s) {
    const auto warn = [this](const QString& text) {
        kw::WarningBox(this, QStringLiteral("Warning"), text);
        return false;
    };
    const auto time = [&](TTeEdit* field, std::int64_t& ms) {
        if (ParseMediaTime(field->text(), ms))
            return true;
        field->setFocus();
        return warn(QStringLiteral("\"%1\" is not a time: write minutes, seconds and "
                                   "milliseconds, as in 1:05.250.")
                        .arg(field->text()));
    };
    if (!time(edit_from, s.FromMs) || !time(edit_to, s.ToMs))
        return false;
    if (s.FromMs > s.ToMs)
        return warn(QStringLiteral("From must not come after To."));
    if (FSource.DurationMs > 0 && s.FromMs >= FSource.DurationMs)
        return warn(QStringLiteral("From lies after the end of the video (%1).")
                        .arg(MediaTimeText(FSource.DurationMs, FSource.DurationMs)));
    if (Rb_every->isChecked()) {
        s.Mode = fcvideo::TRangeMode::Every;
        s.EveryMs = kw::StrToInt(edit_every->text());
        if (s.EveryMs < 1)
            return warn(QStringLiteral("The interval must be at least 1 millisecond."));
    } else if (Rb_count->isChecked()) {
        s.Mode = fcvideo::TRangeMode::Count;
        s.Count = kw::StrToInt(edit_count->text());
        if (s.Count < 1)
            return warn(QStringLiteral("The number of frames must be at least 1."));
    } else {
        s.Mode = fcvideo::TRangeMode::Scenes;
        s.Sensitivity = kw::StrToInt(edit_sensitivity->text());
        s.MinGapMs = kw::StrToInt(edit_gap->text());
        if (s.Sensitivity < 1 || s.Sensitivity > 100)
            return warn(QStringLiteral("The sensitivity goes from 1 to 100."));
    }
    // A To at the end of the video (or beyond it) takes the video to its last picture.
    if (FSource.DurationMs > 0 && s.ToMs >= FSource.DurationMs)
        s.ToMs = -1;
    return true;
}

void TFormCaptureRange::btn_okClick() {
    fcvideo::TRangeSettings settings;
    if (!ReadSettings(settings))
        return;
    TLastChoice& last = LastChoice();
    last = {true, settings.Mode, kw::StrToInt(edit_count->text()),
            kw::StrToInt(edit_sensitivity->text()), kw::StrToInt(edit_gap->text())};

    FCaptured = 0;
    FStoreFull = false;
    FNoMemory = false;
    auto refused = FRefused = std::make_shared<std::atomic<bool>>(false);
    const QString path = FSource.Path;
    // The worker only posts what it found; AddCaptured and the flags live on this thread.
    FWork.Start(
        [this, path, settings, refused](kw::TJob& job) {
            fcvideo::TRangeCallbacks callbacks;
            callbacks.Cancelled = [&job, refused] { return job.Cancelled() || refused->load(); };
            callbacks.Progress = [&job](int done, int total) {
                job.Progress(total > 0 ? int(std::int64_t(done) * ProgressSteps / total) : 0);
            };
            callbacks.Room = [](std::int64_t bytes) { return kw::RoomForFrame(bytes); };
            const QString name = QFileInfo(path).fileName();
            callbacks.Frame = [&job, this, refused, name](fcvideo::TRangeFrame&& frame) {
                if (refused->load())
                    return false;
                const TFrameSource source{name, frame.TimeUs < 0 ? -1 : frame.TimeUs / 1000};
                job.Post([this, picture = std::move(frame.Picture), source] {
                    AddCaptured(picture, source);
                });
                return true;
            };
            const fcvideo::TRangeResult result = fcvideo::CaptureRange(path, settings, callbacks);
            if (result.NoMemory)
                job.Post([this] { FNoMemory = true; });
            job.CheckCancel();
        },
        OutputBusy(ProgressSteps + 1));
}

void TFormCaptureRange::AddCaptured(const QImage& picture, const TFrameSource& source) {
    if (!FRefused || FRefused->load())
        return; // frames that were on their way when the store refused one
    kw::Guarded([&] {
        try {
            if (!FThumbnails->AddFrame(picture, source)) {
                FStoreFull = true;
                FRefused->store(true);
                return;
            }
        } catch (...) {
            FRefused->store(true);
            throw;
        }
        ++FCaptured;
    });
}

void TFormCaptureRange::WorkEnded(kw::TWorkOutcome outcome) {
    if (outcome == kw::TWorkOutcome::Failed) {
        FWork.ShowError();
        return;
    }
    if (FStoreFull) {
        ShowStoreFullWarning(this);
        return;
    }
    if (FNoMemory) {
        kw::ShowMemoryFullWarning(this);
        return;
    }
    if (outcome == kw::TWorkOutcome::Cancelled || FRefused->load())
        return; // stays open for another try
    if (FCaptured == 0) {
        kw::InfoBox(this, QStringLiteral("Capture Frames"),
                    QStringLiteral("The range holds no picture of the video."));
        return;
    }
    accept();
}

void TFormCaptureRange::btn_cancelClick() {
    if (FWork.Running())
        FWork.Cancel();
    else
        reject();
}

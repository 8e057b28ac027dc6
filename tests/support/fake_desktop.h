#pragma once
// A desktop for tests: records every message box and answers file dialogs, modal dialogs
// and the shell from queues and callbacks that the test sets.

#include "common/kw_dialogs.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

class TFakeDesktop {
public:
    TFakeDesktop();
    ~TFakeDesktop();

    QList<kw::TMessage> Messages; // every box shown, in order
    kw::TMsgResult Answer = kw::TMsgResult::Ok;
    std::function<void(const kw::TMessage&)> OnMessage; // runs while the "box" is open

    std::deque<QString> OpenFileAnswers; // one per OpenFileName call; empty = cancel
    std::deque<QStringList> OpenFilesAnswers;
    std::deque<std::pair<QString, int>> SaveFileAnswers; // path and filter index
    std::deque<QString> FolderAnswers;
    QList<kw::TFileDialogRequest> FileRequests; // every file dialog asked for

    std::function<int(QDialog&)> OnModal; // drives a modal dialog; default: reject at once
    QList<QString> ModalTitles;

    QStringList Opened; // targets handed to the shell
    bool ShellAccepts = true;
    QList<QStringList> Started; // programs started: program then arguments
    bool StartAccepts = false;
    // The failure calls of the openers that accepted, in order: calling one plays the program
    // that found nothing to open its target with.
    std::deque<std::function<void()>> OpenFailures;
    int Beeps = 0;
    qint64 AvailableMemory = qint64(16) << 30;
    // The cache's file system as the frame store sees it: plenty by default, whatever the
    // machine's disk holds, so that only the store's own reservation can fail.
    kw::TDiskSpace DiskSpace{qint64(1) << 40, qint64(2) << 40};
    // When set, asked instead of DiskSpace, on whatever thread asks (the workers that store
    // frames too), so that a test can answer a worker without touching a field it reads.
    std::function<kw::TDiskSpace(const QString&)> DiskSpaceCall;
    QSize ScreenSize{1024, 768};
    std::function<std::optional<QRgb>(QPoint)> ScreenPixel = [](QPoint) {
        return std::optional<QRgb>(qRgb(0, 0, 0));
    };
    // The desktop's own picker: none by default (result 2), as where no portal runs.
    std::function<void(std::function<void(int, QRgb)>)> PickScreenColor =
        [](std::function<void(int, QRgb)> done) { done(2, 0); };
    QStringList Fonts{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")};
    std::deque<qint64> ColorAnswers; // one per ChooseColor call: 0xRRGGBB, or -1 (or none) = cancel
    QList<QRgb> ColorRequests;       // the initial colour of every chooser asked for

    // The texts of the boxes shown so far.
    QStringList Texts() const;

private:
    kw::TDesktopOverride* FOverride = nullptr;
};

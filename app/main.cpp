// Framecatch: grab still frames out of video files and turn them into pictures.

#include "app/command_line.h"
#include "app/unit_main.h"
#include "common/kw_common.h"
#include "common/orb_common.h"
#include "frames/frame_recovery.h"
#include "frames/frame_store.h"
#include "skin/aqua.h"

#include <QGuiApplication>
#include <QScreen>

#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT (logging out, Ctrl+C in a terminal) close the window the normal way, so the
// settings are still written. The handler only writes a byte; the event loop does the rest.
int QuitPipe[2] = {-1, -1};

void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(QuitPipe[1], &byte, 1);
}

void QuitOnSignals(TFormMain* window) {
    if (::pipe(QuitPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(QuitPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(QuitPipe[0], &byte, 1);
        // The system asked the program to end: no question that nobody may be there to answer.
        window->CloseWithoutAsking();
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    // The options are read before anything needs a display.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const TCommandLine line = ParseCommandLine(args);
    switch (line.Action) {
    case TCommandLine::Help:
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return 0;
    case TCommandLine::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case TCommandLine::Error:
        std::fprintf(stderr, "framecatch: %s\nTry 'framecatch --help'.\n",
                     line.Message.toLocal8Bit().constData());
        return 2;
    case TCommandLine::Run:
        break;
    }

    kw::TFcApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Framecatch"));
    QApplication::setApplicationDisplayName(QStringLiteral("Framecatch"));
    QApplication::setDesktopFileName(QStringLiteral("framecatch"));
    kw::RegisterTahoma();
    QApplication::setFont(kw::Tahoma(8));
    ApplyAquaSkin(app);

    // The settings exist before the main window and are written after it is gone.
    TOrbCommonUnit orbCommon;
    // The frames of a program that closed unexpectedly are held before the main window's
    // frame store clears dead programs' caches away, and offered once the window shows.
    TFrameRecovery recovery(TFrameStore::CacheFolder());
    int result = 0;
    {
        auto form = std::make_unique<TFormMain>();
        // Centred on the desktop.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            form->move(screen->availableGeometry().center() - form->rect().center());
        QuitOnSignals(form.get());
        form->show();
        {
            TFormMain* window = form.get();
            QTimer::singleShot(0, window, [window, &recovery] {
                kw::Guarded([&] { window->OfferRestore(recovery); });
            });
        }
        if (!line.File.isEmpty()) {
            TFormMain* window = form.get();
            const QString file = line.File;
            QTimer::singleShot(
                0, window, [window, file] { kw::Guarded([&] { window->OpenVideoFile(file); }); });
        }
        result = QApplication::exec();
    }
    return result;
}

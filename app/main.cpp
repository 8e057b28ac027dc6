// Framecatch: grab still frames out of video files and turn them into pictures.

#include "app/unit_main.h"
#include "common/kw_common.h"
#include "common/orb_common.h"
#include "skin/aqua.h"

#include <QGuiApplication>
#include <QScreen>

#include <memory>

int main(int argc, char** argv) {
    kw::TFcApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Framecatch"));
    QApplication::setApplicationDisplayName(QStringLiteral("Framecatch"));
    QApplication::setDesktopFileName(QStringLiteral("framecatch"));
    kw::RegisterTahoma();
    QApplication::setFont(kw::Tahoma(8));
    ApplyAquaSkin(app);

    // The settings exist before the main window and are written after it is gone.
    TOrbCommonUnit orbCommon;
    int result = 0;
    {
        auto form = std::make_unique<TFormMain>();
        // Centred on the desktop.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            form->move(screen->availableGeometry().center() - form->rect().center());
        form->show();
        result = QApplication::exec();
    }
    return result;
}

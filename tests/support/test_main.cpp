// main() of every test program: Qt's offscreen platform, a private configuration, cache and
// temporary folder, the application object, then GoogleTest.

#include "common/kw_guard.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/framecatch-test-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    qputenv("HOME", home.path().toUtf8());
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    kw::TFcApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

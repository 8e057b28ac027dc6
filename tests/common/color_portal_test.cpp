// The desktop portal's colour picker, driven through a fake portal service on a private
// session bus that the test starts (dbus-daemon), so that no desktop is needed.

#include "common/kw_color_portal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

namespace {

// org.freedesktop.portal.Screenshot as the portal offers it: PickColor returns the request's
// path (from the handle token, as the portal makes it) and answers later on its Response.
class TFakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit TFakePortal(QDBusConnection bus) : FBus(std::move(bus)) {}
    uint Answer = 0; // 0 picked, 1 cancelled
    double Red = 0, Green = 0, Blue = 0;
    QString Parent;
    QString Token;

public slots:
    QDBusObjectPath PickColor(const QString& parent, const QVariantMap& options,
                              const QDBusMessage& message) {
        Parent = parent;
        Token = options.value(QStringLiteral("handle_token")).toString();
        QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, Token);
        QTimer::singleShot(0, this, [this, path] {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            QDBusArgument colour;
            colour.beginStructure();
            colour << Red << Green << Blue;
            colour.endStructure();
            response << Answer
                     << QVariantMap{{QStringLiteral("color"), QVariant::fromValue(colour)}};
            FBus.send(response);
        });
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection FBus;
};

class ColorPortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        Daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address")});
        ASSERT_TRUE(Daemon.waitForStarted()) << "dbus-daemon (scripts/install-deps.sh)";
        ASSERT_TRUE(Daemon.waitForReadyRead(5000));
        Address = QString::fromLatin1(Daemon.readLine()).trimmed();
        ASSERT_FALSE(Address.isEmpty());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-client"));
        Daemon.terminate();
        Daemon.waitForFinished();
    }
    QDBusConnection Connect(const QString& name) {
        return QDBusConnection::connectToBus(Address, name);
    }
    // One pick on the client's connection, waited for.
    std::optional<std::pair<kw::TPickResult, QRgb>> Pick(const QString& parent = {}) {
        std::optional<std::pair<kw::TPickResult, QRgb>> got;
        kw::TColorPortal portal(Connect(QStringLiteral("portal-client")),
                                [&](kw::TPickResult r, QRgb c) {
                                    got = {r, c};
                                });
        portal.Pick(parent);
        EXPECT_FALSE(got) << "the answer comes from the event loop";
        EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 5000));
        return got;
    }
    QProcess Daemon;
    QString Address;
};

} // namespace

TEST_F(ColorPortalTest, PicksThroughThePortalAndTellsCancelAndAMissingPortalApart) {
    // No portal on the bus: unavailable, so that the window falls back to reading the screen.
    auto got = Pick();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->first, kw::TPickResult::Unavailable);

    QDBusConnection service = Connect(QStringLiteral("portal-service"));
    TFakePortal portal(service);
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                       QDBusConnection::ExportAllSlots));
    portal.Red = 1.0;
    portal.Green = 0.5;
    portal.Blue = 0.0;
    got = Pick(QStringLiteral("x11:1a00004"));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->first, kw::TPickResult::Picked);
    EXPECT_EQ(got->second, qRgb(255, 128, 0));
    EXPECT_EQ(portal.Parent, QStringLiteral("x11:1a00004"));
    EXPECT_FALSE(portal.Token.isEmpty()) << "the path is known before the answer";

    portal.Answer = 1; // the user closed the desktop's picker
    got = Pick();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->first, kw::TPickResult::Cancelled);
}

#include "color_portal_test.moc"

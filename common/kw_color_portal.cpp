#include "common/kw_color_portal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <algorithm>
#include <atomic>

namespace kw {

namespace {
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

int Channel(double v) {
    return std::clamp(int(v * 255.0 + 0.5), 0, 255);
}
} // namespace

TColorPortal::TColorPortal(QDBusConnection bus, TDone done, QObject* parent)
    : QObject(parent), FBus(std::move(bus)), FDone(std::move(done)) {}

QString TColorPortal::RequestPath(const QDBusConnection& bus, const QString& token) {
    // ":1.42" becomes "1_42", as the portal writes the sender into the path.
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(QLatin1Char(':')) ? 1 : 0)
        .replace(QLatin1Char('.'), QLatin1Char('_'));
    return PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void TColorPortal::Pick(const QString& parentWindow) {
    static std::atomic<int> counter{0};
    const QString token = QStringLiteral("framecatch%1").arg(++counter);
    FPath = RequestPath(FBus, token);
    if (!FBus.isConnected() ||
        !FBus.connect(QString(), FPath, RequestInterface, QStringLiteral("Response"), this,
                      SLOT(Response(uint, QVariantMap)))) {
        QMetaObject::invokeMethod(
            this, [this] { Finish(TPickResult::Unavailable, 0); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalService, PortalPath, ScreenshotInterface, QStringLiteral("PickColor"));
    call << parentWindow << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            Finish(TPickResult::Unavailable, 0); // no portal, or one without PickColor
            return;
        }
        // An older portal may answer on a path of its own.
        const QString path = reply.value().path();
        if (path != FPath && !FFinished) {
            FBus.disconnect(QString(), FPath, RequestInterface, QStringLiteral("Response"), this,
                            SLOT(Response(uint, QVariantMap)));
            FPath = path;
            FBus.connect(QString(), FPath, RequestInterface, QStringLiteral("Response"), this,
                         SLOT(Response(uint, QVariantMap)));
        }
    });
}

void TColorPortal::Response(uint response, const QVariantMap& results) {
    if (response != 0) {
        Finish(TPickResult::Cancelled, 0);
        return;
    }
    // "color" is a structure of three doubles from 0 to 1.
    const QVariant value = results.value(QStringLiteral("color"));
    if (!value.canConvert<QDBusArgument>()) {
        Finish(TPickResult::Cancelled, 0);
        return;
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    double r = 0, g = 0, b = 0;
    argument.beginStructure();
    argument >> r >> g >> b;
    argument.endStructure();
    Finish(TPickResult::Picked, qRgb(Channel(r), Channel(g), Channel(b)));
}

void TColorPortal::Finish(TPickResult result, QRgb colour) {
    if (FFinished)
        return;
    FFinished = true;
    FBus.disconnect(QString(), FPath, RequestInterface, QStringLiteral("Response"), this,
                    SLOT(Response(uint, QVariantMap)));
    if (FDone)
        FDone(result, colour);
    emit Done();
}

void PickColorThroughPortal(const QString& parentWindow, TColorPortal::TDone done) {
    auto* portal = new TColorPortal(QDBusConnection::sessionBus(), std::move(done));
    QObject::connect(portal, &TColorPortal::Done, portal, &QObject::deleteLater);
    portal->Pick(parentWindow);
}

} // namespace kw

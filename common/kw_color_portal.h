#pragma once
// Picking a colour on the screen through the desktop portal (org.freedesktop.portal.Screenshot
// PickColor over D-Bus): the desktop shows its own picker, which works where a program may not
// read the screen itself (Wayland). The answer comes later, on the Response signal of the
// request object; the request's path is known before the call (the handle token), so that a
// quick answer is never missed.

#include <QDBusConnection>
#include <QObject>
#include <QRgb>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace kw {

enum class TPickResult {
    Picked,      // the user picked a colour
    Cancelled,   // the user closed the desktop's picker
    Unavailable, // no portal (or one without a colour picker) on the bus
};

class TColorPortal : public QObject {
    Q_OBJECT
public:
    using TDone = std::function<void(TPickResult, QRgb)>;
    // done runs once, on this thread, from the event loop; never from inside Pick().
    TColorPortal(QDBusConnection bus, TDone done, QObject* parent = nullptr);
    // parentWindow as the portal takes it ("x11:1a00004"), empty where there is none.
    void Pick(const QString& parentWindow);

    // The path of the request object the portal makes for this token on this connection.
    static QString RequestPath(const QDBusConnection& bus, const QString& token);

signals:
    // After done ran.
    void Done();

private slots:
    void Response(uint response, const QVariantMap& results);

private:
    void Finish(TPickResult result, QRgb colour);

    QDBusConnection FBus;
    TDone FDone;
    QString FPath;
    bool FFinished = false;
};

// Picks through the portal of the session bus; the object deletes itself after done.
void PickColorThroughPortal(const QString& parentWindow, TColorPortal::TDone done);

} // namespace kw

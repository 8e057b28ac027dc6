#pragma once
// Errors and the one place where they end: every event handler runs inside Guarded(), which
// turns an escaping exception into the application's default error box (caption
// "Framecatch", error icon, the message with a period added) so that the program goes on.
// No exception ever crosses into Qt.

#include <QApplication>
#include <QString>

#include <stdexcept>
#include <type_traits>
#include <utility>

namespace kw {

// An error with a message meant for the user and, where one is known, its cause for a
// developer (a decoder's or the system's own message), which the error box shows as details.
class EFcError : public std::runtime_error {
public:
    explicit EFcError(const QString& message, const QString& details = QString());
    QString Message() const { return QString::fromUtf8(what()); }
    const QString& Details() const { return FDetails; }

private:
    QString FDetails;
};

// "'%s' is not a valid integer value" and friends.
class EConvertError : public EFcError {
public:
    using EFcError::EFcError;
};

// The message as the default error box shows it: a period is appended unless the text is
// empty or already ends in '.' or a character that sorts below it.
QString WithPeriod(const QString& message);
QString MessageOf(const std::exception& e);

// The application's default error box for an error that ended an action; the details, when
// there are any, go under the box's details button and to the standard error stream.
void ShowDefaultError(const QString& message, const QString& details = QString());
void ShowException(const std::exception& e);

// Writes "Framecatch: what: cause" to the standard error stream, for a cause the user is not
// shown.
void ReportCause(const QString& what, const QString& cause);

// Runs f; any exception becomes the default error box.
template <class F> void Guarded(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowDefaultError(QStringLiteral("Unknown error"));
    }
}

// Wraps a handler so that every call runs inside Guarded(); for connect(). A handler that
// takes no arguments may be connected to a signal that has some.
template <class F> auto Guard(F f) {
    return [f = std::move(f)](auto&&... args) mutable -> void {
        Guarded([&] {
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

// Converts decimal text to a 32-bit signed integer or throws EConvertError with
// "'%s' is not a valid integer value".
int StrToInt(const QString& text);
// Same conversion; false instead of an error.
bool TryStrToInt(const QString& text, int& value);

// The application object: also catches what escapes an event handler that forgot its guard.
class TFcApplication : public QApplication {
public:
    TFcApplication(int& argc, char** argv);
    // Waits for the long work still running (cancelled first), before the application goes.
    ~TFcApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kw

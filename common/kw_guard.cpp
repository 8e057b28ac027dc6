#include "common/kw_guard.h"

#include "common/kw_dialogs.h"
#include "common/long_work.h"

#include <cstdio>
#include <new>

namespace kw {

EFcError::EFcError(const QString& message, const QString& details)
    : std::runtime_error(message.toStdString()), FDetails(details) {}

void ReportCause(const QString& what, const QString& cause) {
    std::fprintf(stderr, "Framecatch: %s: %s\n", what.toUtf8().constData(),
                 cause.toUtf8().constData());
}

QString WithPeriod(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

QString MessageOf(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("Out of memory");
    return QString::fromUtf8(e.what());
}

void ShowDefaultError(const QString& message, const QString& details) {
    if (!details.isEmpty())
        ReportCause(message, details);
    try {
        ErrorBox(nullptr, QStringLiteral("Framecatch"), WithPeriod(message), details);
    } catch (...) {
        // Nothing sensible is left to do if even the error box fails.
    }
}

void ShowException(const std::exception& e) {
    const auto* error = dynamic_cast<const EFcError*>(&e);
    ShowDefaultError(MessageOf(e), error ? error->Details() : QString());
}

bool TryStrToInt(const QString& text, int& value) {
    // Decimal digits with an optional sign, nothing else (no blanks), within 32 bits.
    const QString t = text;
    if (t.isEmpty())
        return false;
    qsizetype i = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i >= t.size())
        return false;
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > qint64(2147483648LL))
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL || v < -2147483648LL)
        return false;
    value = int(v);
    return true;
}

int StrToInt(const QString& text) {
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

TFcApplication::TFcApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TFcApplication::~TFcApplication() {
    FinishLongWork();
}

bool TFcApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowDefaultError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace kw

#include "common/kw_savefile.h"

#include "common/kw_guard.h"

#include <QSaveFile>

namespace kw {

namespace {

enum class TSaveFailure { None, Create, Write };

TSaveFailure SaveWhole(const QString& path, const std::vector<QByteArrayView>& pieces,
                       bool directWriteFallback, QString& reason) {
    QSaveFile file(path);
    file.setDirectWriteFallback(directWriteFallback);
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
        return TSaveFailure::Create;
    }
    for (const QByteArrayView piece : pieces) {
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            reason = file.errorString();
            file.cancelWriting();
            return TSaveFailure::Write;
        }
    }
    // The last bytes still sit in the file's buffer: a failure to write them shows only here
    // (commit() would go on and rename a cut-short file over the old one). A save that is not
    // committed removes its new file when it goes.
    if (!file.flush()) {
        reason = file.errorString();
        file.cancelWriting();
        return TSaveFailure::Write;
    }
    // commit() syncs and renames; on failure the new file is removed.
    if (!file.commit()) {
        reason = file.errorString();
        return TSaveFailure::Write;
    }
    return TSaveFailure::None;
}

} // namespace

bool TryWriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces,
                       QString* error, bool directWriteFallback) {
    QString reason;
    const bool ok = SaveWhole(path, pieces, directWriteFallback, reason) == TSaveFailure::None;
    if (error)
        *error = reason;
    return ok;
}

void WriteWholeFile(const QString& path, const std::vector<QByteArrayView>& pieces) {
    QString reason;
    switch (SaveWhole(path, pieces, true, reason)) {
    case TSaveFailure::None:
        return;
    case TSaveFailure::Create:
        throw EFcError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    case TSaveFailure::Write:
        throw EFcError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    }
}

void WriteWholeFile(const QString& path, const char* data, std::int64_t size) {
    WriteWholeFile(path, std::vector<QByteArrayView>{QByteArrayView(data, qsizetype(size))});
}

} // namespace kw

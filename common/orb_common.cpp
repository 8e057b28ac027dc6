#include "common/orb_common.h"

#include "common/kw_guard.h"
#include "common/kw_paths.h"
#include "common/kw_savefile.h"
#include "common/kw_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

TGlbCfg* GlbCfg = nullptr;
QImage* ScratchBitmap = nullptr;
kw::TMemoryStream* ScratchStream = nullptr;

QString CfgMakerName() {
    return QStringLiteral("Corvane");
}
QString CfgProductName() {
    return QStringLiteral("orb");
}

namespace {

// The help page ships beside the program in the build tree and under share/ once installed.
QString FindHelpUrl(const QString& exeDir) {
    const QStringList candidates = {exeDir + QStringLiteral("help/index.html"),
                                    exeDir + QStringLiteral("../share/framecatch/help/index.html")};
    for (const QString& path : candidates)
        if (QFileInfo::exists(path))
            return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString();
    return QUrl::fromLocalFile(candidates.front()).toString();
}

} // namespace

TGlbCfg::TGlbCfg() {
    ExeDir = kw::GetExeDir();
    HelpURL = FindHelpUrl(ExeDir);
    CfgFileName =
        kw::ForceUserDataDir(CfgMakerName(), CfgProductName()) + QStringLiteral("orb.dat");
    if (!QFileInfo::exists(CfgFileName))
        SetDefaults();
    else if (!LoadFromFile())
        SetDefaults();
}

TGlbCfg::~TGlbCfg() {
    SaveToFile();
}

void TGlbCfg::SetDefaults() {
    CaptureInterval = 200;
    Reserved1.clear();
    Reserved2.clear();
}

bool TGlbCfg::LoadFromFile() {
    QFile file(CfgFileName);
    // A file that exists but cannot be read counts as undecodable: the defaults follow.
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray line = file.readAll();
    file.close();
    const qsizetype end = [&] {
        for (qsizetype i = 0; i < line.size(); ++i)
            if (line[i] == '\r' || line[i] == '\n')
                return i;
        return line.size();
    }();
    line.truncate(end);

    const QByteArray text = kw::DecodeCfgText(line);
    if (text.isEmpty())
        return false;
    const kw::TByteList values = kw::SplitCommaText(text);
    // Fields are stored in order until the first failure; earlier ones keep their new values.
    int interval = 0;
    if (values.isEmpty() || !kw::TryStrToInt(QString::fromUtf8(values[0]), interval))
        return false;
    CaptureInterval = interval;
    QString* const fields[] = {&Reserved1, &Reserved2, &LastVideoDir, &LastGIFDir};
    for (int k = 0; k < 4; ++k) {
        if (values.size() <= k + 1)
            return false;
        *fields[k] = QString::fromUtf8(values[k + 1]);
    }
    return true;
}

bool TGlbCfg::SaveToFile() {
    const kw::TByteList values = {QByteArray::number(CaptureInterval), Reserved1.toUtf8(),
                                  Reserved2.toUtf8(), LastVideoDir.toUtf8(), LastGIFDir.toUtf8()};
    const QByteArray line = kw::EncodeCfgText(kw::JoinCommaText(values)) + "\r\n";

    // A failed save is silent and leaves the old file whole.
    return kw::TryWriteWholeFile(CfgFileName, {QByteArrayView(line)}, nullptr, false);
}

TOrbCommonUnit::TOrbCommonUnit()
    : FScratchBitmap(std::make_unique<QImage>()),
      FScratchStream(std::make_unique<kw::TMemoryStream>()), FGlbCfg(std::make_unique<TGlbCfg>()) {
    ScratchBitmap = FScratchBitmap.get();
    ScratchStream = FScratchStream.get();
    GlbCfg = FGlbCfg.get();
}

TOrbCommonUnit::~TOrbCommonUnit() {
    FGlbCfg.reset(); // writes the settings file
    GlbCfg = nullptr;
    FScratchStream.reset();
    ScratchStream = nullptr;
    FScratchBitmap.reset();
    ScratchBitmap = nullptr;
}

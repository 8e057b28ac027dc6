#pragma once
// The settings object and the objects every grab reuses, created before the main window
// and destroyed after it.

#include "common/kw_stream.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class TGlbCfg {
public:
    // Sets ExeDir, HelpURL and CfgFileName (making the folders), then loads the file or
    // takes the defaults. Nothing is written here.
    TGlbCfg();
    // Writes the file; a failure is silent.
    ~TGlbCfg();
    TGlbCfg(const TGlbCfg&) = delete;
    TGlbCfg& operator=(const TGlbCfg&) = delete;

    // True when all five values were taken from the file.
    bool LoadFromFile();
    void SetDefaults();
    // Replaces the file through a new file renamed over it, so a failed write leaves the old
    // file whole; false on any failure, with no message.
    bool SaveToFile();

    QString ExeDir;
    QString HelpURL;
    QString CfgFileName;
    std::int32_t CaptureInterval = 200;
    QString Reserved1;
    QString Reserved2;
    QString LastVideoDir;
    QString LastGIFDir;
};

// The program's folder layout: "Corvane"/"orb"/"orb.dat" under the configuration folder.
QString CfgMakerName();
QString CfgProductName();

extern TGlbCfg* GlbCfg;
// Every grab writes its BMP file into ScratchStream and decodes it into ScratchBitmap.
extern QImage* ScratchBitmap;
extern kw::TMemoryStream* ScratchStream;

// Owns the three objects above for the lifetime of the program (or of a test); the globals
// only point at them.
class TOrbCommonUnit {
public:
    TOrbCommonUnit();
    ~TOrbCommonUnit();
    TOrbCommonUnit(const TOrbCommonUnit&) = delete;
    TOrbCommonUnit& operator=(const TOrbCommonUnit&) = delete;

private:
    std::unique_ptr<QImage> FScratchBitmap;
    std::unique_ptr<kw::TMemoryStream> FScratchStream;
    std::unique_ptr<TGlbCfg> FGlbCfg;
};

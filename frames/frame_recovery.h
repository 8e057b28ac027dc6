#pragma once
// Restore at start: the frames of a program that is no longer running, found through the
// journal beside its cache file (frame_journal.h). The main window asks whether to restore
// them; Yes adds them in their order, with where they came from, to the frame list (as
// frames no output has written), No removes the files.
//
// A dead program's cache file is one that nobody holds locked (a running program holds its
// own for as long as it lives). The recovery takes the lock itself while it decides, so
// that the store the frame list makes meanwhile (which removes dead programs' caches) leaves
// these files alone; a live program's cache is never opened for writing nor removed.
//
// Everything here runs on the calling thread (the GUI thread at start, before the user can
// do anything else): reading and checking the pixels costs a read of every frame.

#include "frames/frame_journal.h"
#include "frames/frame_source.h"

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class TFrameRecovery {
public:
    // Finds the dead programs' caches with a journal in the folder, locks them and reads
    // their journals (not yet the pixels).
    explicit TFrameRecovery(const QString& folder);
    // Releases the locks; files not discarded stay for the next start.
    ~TFrameRecovery();
    TFrameRecovery(const TFrameRecovery&) = delete;
    TFrameRecovery& operator=(const TFrameRecovery&) = delete;

    // Frames the journals name, in their order (before their pixels are checked).
    int Count() const { return int(FFrames.size()); }
    // Reads every frame's pixels and checks them against their record; frames that fail (the
    // pixels never reached the disk, or were overwritten, or the file is cut short) are
    // dropped. Returns the frames that passed.
    int Check();
    // Frames dropped by Check.
    int Damaged() const { return FDamaged; }
    // "Framecatch closed unexpectedly. Restore the N frames captured before it closed?", and
    // the damaged frames left out, when there were any.
    QString QuestionText() const;

    // Hands each frame that passes its check, in order, to `add` (picture, source); stops
    // when add says false (a full store). Returns how many went in. Each frame handed over
    // leaves the dead program's files at once (a removal appended to its journal, its blocks
    // given back), so that restoring needs no more room on the disk than the frames take,
    // and a restore the store stopped half way offers only the rest at the next start.
    int Restore(const std::function<bool(const QImage&, const TFrameSource&)>& add);
    // Removes the dead programs' cache files and journals.
    void Discard();

    // The frames of one journal, in order, from its records (replayed).
    struct TFrame {
        quint64 Id = 0;
        TSlotLayout Slot;
        quint32 PixelSum = 0;
        TFrameSource Source;
    };
    static std::vector<TFrame> Replay(const std::vector<TJournalRecord>& records);

private:
    struct TCache {
        QString Path;
        int Fd = -1;        // read and write, locked
        int JournalFd = -1; // appending, opened by Restore
        qint64 Whole = 0;   // the journal's length up to its last whole record
    };
    struct TFound {
        int Cache; // index into FCaches
        TFrame Frame;
    };
    // The frame's picture read from its cache file; null when it fails its check.
    QImage Read(const TFound& found) const;

    std::vector<TCache> FCaches;
    std::vector<TFound> FFrames;
    int FDamaged = 0;
};

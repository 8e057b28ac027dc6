// A program that captures frames into a frame list and is killed at a chosen moment, for the
// tests of restoring after a crash. It prints "folder PATH" (the store's folder) first and,
// where the scenario says so, "order T0 T1 ..." (the frames' times in list order) before it
// dies. Scenarios:
//   frame-write    five frames synced, then killed after the sixth frame's pixels are in
//                  the cache file and before its record is appended
//   record-append  five frames synced, then killed with half of the sixth record appended
//   edit-delete-move  six frames, one edited, one deleted, two moved, synced, then killed

#include "tests/frames/journal_child.h"
#include "frames/thumbnails.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

void PrintOrder(const TThumbnails& list) {
    std::printf("order");
    for (int i = 0; i < list.Count(); ++i)
        std::printf(" %lld", static_cast<long long>(list.FrameSource(i).TimeMs));
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString scenario = QString::fromLocal8Bit(argv[1]);
    TThumbnails list;
    list.SetFrameSize(64, 48);
    auto add = [&](int n) {
        if (!list.AddFrame(ChildFrame(n),
                           TFrameSource{QStringLiteral("phone.mp4"), ChildTimeMs(n)}))
            std::exit(3);
    };
    std::printf("folder %s\n", qPrintable(list.Store().Folder()));
    std::fflush(stdout);

    if (scenario == QStringLiteral("frame-write") || scenario == QStringLiteral("record-append")) {
        for (int n = 0; n < 5; ++n)
            add(n);
        list.Journal().Flush();
        const bool half = scenario == QStringLiteral("record-append");
        list.Journal().SetAppendHook([half](const TJournalRecord&, bool atHalf) {
            if (atHalf == half)
                std::raise(SIGKILL);
        });
        add(5);
        std::this_thread::sleep_for(std::chrono::seconds(10)); // the hook kills the program
        return 4;
    }
    if (scenario == QStringLiteral("edit-delete-move")) {
        for (int n = 0; n < 6; ++n)
            add(n);
        list.ReplaceFramePicture(1, ChildFrame(100)); // frame 1 now shows picture 100
        list.GetItem(2)->SetSelected(true);
        list.DeleteSelected();    // 0 1 3 4 5
        list.MoveItemToFirst(3);  // 4 0 1 3 5
        list.ExchangeWithNext(1); // 4 1 0 3 5
        list.MoveItemToLast(0);   // 1 0 3 5 4
        list.Journal().Flush();
        PrintOrder(list);
        std::raise(SIGKILL);
    }
    return 2;
}

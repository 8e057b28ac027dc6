#pragma once
// What the journal's child process (journal_child.cpp) captures, for the tests that kill it
// and restore its frames: frame n is a 64 x 48 picture whose every pixel depends on n, taken
// from "phone.mp4" at n x 200 ms.

#include <QImage>

inline QImage ChildFrame(int n) {
    QImage frame(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < frame.height(); ++y) {
        uchar* line = frame.scanLine(y);
        for (int x = 0; x < frame.width(); ++x) {
            line[3 * x] = uchar(x * 3 + n);
            line[3 * x + 1] = uchar(y * 5 + 7 * n);
            line[3 * x + 2] = uchar((x ^ y) + 13 * n);
        }
    }
    return frame;
}

inline qint64 ChildTimeMs(int n) {
    return qint64(n) * 200;
}

#pragma once
// The frame editor on a real frame list and a faked desktop, with frames whose every pixel
// tells its place and its frame, and helpers to drag a band and to answer the save prompt.

#include "editor/form_edit_orb.h"
#include "editor/form_edit_orb_changed.h"
#include "frames/thumbnails.h"
#include "graphics/image32.h"
#include "skin/te_controls.h"
#include "tests/support/fake_desktop.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// Pixel (x, y) of frame n: red and green the low bits of x and y, blue their high bits and n.
inline QRgb PatternPixel(int x, int y, int n) {
    return qRgb(x & 255, y & 255, (((x >> 8) << 4) | (y >> 8)) ^ (n * 37 & 255));
}

inline QImage PatternFrame(int n, QSize size = QSize(640, 480),
                           QImage::Format format = QImage::Format_RGB32) {
    QImage frame(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            frame.setPixel(x, y, PatternPixel(x, y, n));
    return frame.convertToFormat(format);
}

// The picture's red, green and blue only, in one layout, to compare pictures of any layout.
inline QImage Rgb(const QImage& picture) {
    return picture.convertToFormat(QImage::Format_RGB32);
}

class TEditorFixture : public ::testing::Test {
protected:
    TFakeDesktop Desktop;
    TThumbnails List;
    std::unique_ptr<TFormEditORB> Editor;
    QTemporaryDir Dir;

    void Fill(int count, QSize size = QSize(640, 480)) {
        List.SetFrameSize(size.width(), size.height());
        for (int n = 0; n < count; ++n)
            ASSERT_TRUE(List.AddFrame(PatternFrame(n, size)));
    }
    TFormEditORB& Open(int index) {
        Editor = std::make_unique<TFormEditORB>(nullptr);
        Editor->ShowFrame(List.FramePicture(index), index, &List);
        Editor->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Editor.get()));
        return *Editor;
    }
    const TBitmap32& Shown() const { return Editor->Image1->Bitmap(); }
    QString Readout() const { return Editor->LabelBottom2->text(); }

    // A left-button drag on the image view from one view point to another, keys held.
    void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers keys = {}) {
        TImage32* view = Editor->Image1;
        QTest::mousePress(view, Qt::LeftButton, keys, from.toPoint());
        QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         keys);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, keys, to.toPoint());
    }

    // Presses the save prompt's OK and waits for a replay it started; returns the prompt's
    // result.
    static int PressOK(TFormChanged& prompt) {
        prompt.BtnOK->click();
        EXPECT_TRUE(prompt.Replay().WaitForEnd());
        return prompt.result();
    }

    // Closes the editor; when the save prompt shows, picks the choice and presses OK. Returns
    // whether the prompt showed.
    bool CloseChoosing(TTeRadioButton* TFormChanged::*choice, int threads = 0) {
        bool prompted = false;
        Desktop.OnModal = [&](QDialog& dialog) {
            auto* prompt = dynamic_cast<TFormChanged*>(&dialog);
            if (!prompt)
                return int(QDialog::Rejected);
            prompted = true;
            prompt->ReplayThreads = threads;
            (prompt->*choice)->setChecked(true);
            return PressOK(*prompt);
        };
        Editor->close();
        Desktop.OnModal = nullptr;
        return prompted;
    }

    QString WritePicture(const QString& name, const QImage& picture) {
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }
};

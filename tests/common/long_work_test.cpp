// The long-work engine and the busy scope: what a window sees of a work that runs, ends, fails,
// is cancelled, or outlives its handle.

#include "common/busy_scope.h"
#include "common/long_work.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using kw::TJob;
using kw::TLongWork;
using kw::TWorkOutcome;

namespace {

// A work that reports progress and waits to be cancelled, checking every millisecond.
void UntilCancelled(TJob& job) {
    for (int i = 0;; ++i) {
        job.Progress(i);
        job.CheckCancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct TWindow {
    QDialog Dialog;
    QPushButton* Save = new QPushButton(QStringLiteral("Save"), &Dialog);
    QPushButton* Cancel = new QPushButton(QStringLiteral("Cancel"), &Dialog);
    QProgressBar* Bar = new QProgressBar(&Dialog);
    TWindow() {
        Cancel->move(100, 0);
        Bar->move(0, 40);
        Dialog.show();
    }
    kw::TBusySpec Busy(int count) { return {&Dialog, {Save, Cancel}, Cancel, Bar, count}; }
};

} // namespace

TEST(LongWork, ResultsArriveOnTheGuiThreadInOrderAndTheEndComesLast) {
    TLongWork work;
    std::vector<int> seen;
    std::vector<bool> onGui;
    QSignalSpy ended(&work, &TLongWork::Ended);
    bool endedAfterPosts = false;
    QObject::connect(&work, &TLongWork::Ended, [&] { endedAfterPosts = seen.size() == 500; });
    work.Start([&](TJob& job) {
        // More posts than may wait at once: the worker is held back, nothing is lost.
        for (int i = 0; i < 500; ++i)
            job.Post([&, i] {
                seen.push_back(i);
                onGui.push_back(QThread::currentThread() == qApp->thread());
            });
    });
    EXPECT_TRUE(work.Running());
    ASSERT_TRUE(work.WaitForEnd());
    ASSERT_EQ(seen.size(), 500u);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(seen[i], i);
    EXPECT_EQ(std::count(onGui.begin(), onGui.end(), false), 0);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0][0].value<TWorkOutcome>(), TWorkOutcome::Done);
    EXPECT_TRUE(endedAfterPosts);
    EXPECT_FALSE(work.Running());
}

TEST(LongWork, AFailureKeepsItsMessageAndDetails) {
    TLongWork work;
    TWorkOutcome outcome = TWorkOutcome::Done;
    QObject::connect(&work, &TLongWork::Ended, [&](TWorkOutcome o) { outcome = o; });
    work.Start([](TJob&) {
        throw kw::EFcError(QStringLiteral("Cannot write file \"x.gif\""), QStringLiteral("EIO"));
    });
    ASSERT_TRUE(work.WaitForEnd());
    EXPECT_EQ(outcome, TWorkOutcome::Failed);
    try {
        std::rethrow_exception(work.Error());
    } catch (const kw::EFcError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot write file \"x.gif\""));
        EXPECT_EQ(e.Details(), QStringLiteral("EIO"));
    }
}

TEST(LongWork, CancelStopsTheWorkAndTheBusyWindowComesBackWhole) {
    TWindow w;
    w.Save->setEnabled(true);
    TLongWork work;
    QObject::connect(w.Cancel, &QPushButton::clicked, &work, &TLongWork::Cancel);
    TWorkOutcome outcome = TWorkOutcome::Done;
    QObject::connect(&work, &TLongWork::Ended, [&](TWorkOutcome o) { outcome = o; });
    work.Start(UntilCancelled, w.Busy(10));

    // Busy: Save off, Cancel on, the hourglass, the bar following the work within its range.
    EXPECT_TRUE(kw::TBusyScope::IsBusy(&w.Dialog));
    EXPECT_FALSE(w.Save->isEnabled());
    EXPECT_TRUE(w.Cancel->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(w.Bar->maximum(), 9);
    QTRY_COMPARE_WITH_TIMEOUT(w.Bar->value(), 9, 5000);

    // Keys, presses elsewhere and the close box do nothing.
    QTest::keyClick(&w.Dialog, Qt::Key_Escape);
    QCloseEvent close;
    QApplication::sendEvent(&w.Dialog, &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(w.Dialog.isVisible());
    EXPECT_TRUE(work.Running());

    // A click on Cancel gets through and stops the work.
    const auto pressed = std::chrono::steady_clock::now();
    QTest::mouseClick(w.Cancel, Qt::LeftButton);
    EXPECT_TRUE(work.CancelRequested());
    ASSERT_TRUE(work.WaitForEnd(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(1000));
    EXPECT_EQ(outcome, TWorkOutcome::Cancelled);
    EXPECT_FALSE(kw::TBusyScope::IsBusy(&w.Dialog));
    EXPECT_TRUE(w.Save->isEnabled());
    EXPECT_TRUE(w.Cancel->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.Bar->value(), 0);
}

TEST(LongWork, ANewStartOrAGoneHandleDropsWhatTheOldWorkStillReports) {
    TWindow w;
    std::atomic<int> finished{0};
    auto slow = [&finished](int tag, std::vector<int>* out) {
        return [&finished, tag, out](TJob& job) {
            while (!job.Cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            job.Post([out, tag] { out->push_back(tag); });
            ++finished;
        };
    };
    std::vector<int> seen;
    {
        TLongWork work;
        QSignalSpy ended(&work, &TLongWork::Ended);
        work.Start(slow(1, &seen), w.Busy(5));
        // Restarted while busy: the first work is cancelled and forgotten, and the buttons
        // come back as they were before either, not as the first scope left them.
        work.Start([&](TJob& job) { job.Post([&] { seen.push_back(2); }); }, w.Busy(5));
        ASSERT_TRUE(work.WaitForEnd());
        QTRY_COMPARE(finished.load(), 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(seen, std::vector<int>{2});
        EXPECT_EQ(ended.count(), 1);
        EXPECT_TRUE(w.Save->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);

        // Dropped: forgotten at once, the window back, and neither its post nor its end come.
        work.Start(slow(4, &seen), w.Busy(5));
        work.Drop();
        EXPECT_FALSE(work.Running());
        EXPECT_TRUE(w.Save->isEnabled());
        QTRY_COMPARE(finished.load(), 2);
        QCoreApplication::processEvents();
        EXPECT_EQ(seen, std::vector<int>{2});
        EXPECT_EQ(ended.count(), 1);

        // The handle goes while its work runs: the work is cancelled, ends on its own, and its
        // post finds nobody.
        work.Start(slow(3, &seen), w.Busy(5));
    }
    EXPECT_FALSE(kw::TBusyScope::IsBusy(&w.Dialog));
    EXPECT_TRUE(w.Save->isEnabled());
    kw::FinishLongWork();
    EXPECT_EQ(finished.load(), 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, std::vector<int>{2});
}

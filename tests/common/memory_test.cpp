#include "common/kw_dialogs.h"
#include "common/kw_memory.h"

#include <gtest/gtest.h>

namespace {
constexpr qint64 MiB = qint64(1) << 20;
constexpr qint64 GiB = qint64(1) << 30;
} // namespace

TEST(MemoryBudget, KeepsTheLargerOf512MiBAnd5PercentFree) {
    EXPECT_EQ(kw::MemoryMargin(4 * GiB), 512 * MiB);
    EXPECT_EQ(kw::MemoryMargin(64 * GiB), 64 * GiB / 20);
    EXPECT_EQ(kw::MemoryMargin(-1), 512 * MiB);

    const qint64 frame = kw::FrameBytes(QSize(1920, 1080));
    EXPECT_EQ(frame, 1920 * 1080 * 3);
    EXPECT_EQ(kw::FrameBytes(QSize(3, 2)), 2 * 12); // rows are padded to 4 bytes
    EXPECT_EQ(kw::FrameBytes(QSize(3, 2), QImage::Format_RGB32), 2 * 12);
    EXPECT_TRUE(kw::MemoryAllows(frame, 512 * MiB + frame, 8 * GiB));
    EXPECT_FALSE(kw::MemoryAllows(frame, 512 * MiB + frame - 1, 8 * GiB));
    EXPECT_FALSE(kw::MemoryAllows(frame, 2 * GiB, 64 * GiB)); // 3.2 GiB must stay free there
    EXPECT_TRUE(kw::MemoryAllows(frame, -1, 8 * GiB));        // unknown: the allocation decides
}

TEST(MemoryBudget, ReadsTheSystemsTotal) {
    const qint64 total = kw::SystemTotalMemory();
    EXPECT_GT(total, 64 * MiB);
    const qint64 available = kw::RealDesktop().AvailableMemory();
    EXPECT_LE(available, total);
}

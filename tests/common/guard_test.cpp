#include "common/kw_common.h"
#include "tests/support/fake_desktop.h"

#include <gtest/gtest.h>

#include <new>

using namespace kw;

TEST(DefaultErrorBox, AddsAPeriodUnlessTheTextEndsLowEnough) {
    EXPECT_EQ(WithPeriod("Division by zero"), QStringLiteral("Division by zero."));
    EXPECT_EQ(WithPeriod("Done."), QStringLiteral("Done."));
    EXPECT_EQ(WithPeriod("Task completed !"), QStringLiteral("Task completed !"));
    EXPECT_EQ(WithPeriod("code ($80004005)"), QStringLiteral("code ($80004005)"));
    EXPECT_EQ(WithPeriod("(x-"), QStringLiteral("(x-"));
    EXPECT_EQ(WithPeriod("path/"), QStringLiteral("path/."));
    EXPECT_EQ(WithPeriod(""), QString());
}

TEST(DefaultErrorBox, GuardShowsEscapingErrorsAndGoesOn) {
    TFakeDesktop desktop;
    bool after = false;
    Guarded([] { throw EFcError(QStringLiteral("Something failed")); });
    Guarded([] { throw std::bad_alloc(); });
    Guarded([] { throw 42; });
    Guarded([] { throw EFcError(QStringLiteral("Cannot read"), QStringLiteral("the cause")); });
    Guarded([&] { after = true; });
    EXPECT_TRUE(after);
    ASSERT_EQ(desktop.Messages.size(), 4);
    EXPECT_EQ(desktop.Messages[0].Caption, QStringLiteral("Framecatch"));
    EXPECT_EQ(desktop.Messages[0].Text, QStringLiteral("Something failed."));
    EXPECT_EQ(desktop.Messages[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(desktop.Messages[0].Details.isEmpty());
    EXPECT_EQ(desktop.Messages[1].Text, QStringLiteral("Out of memory."));
    EXPECT_EQ(desktop.Messages[2].Text, QStringLiteral("Unknown error."));
    // The cause of an error goes under the box's details; the text stays the user's.
    EXPECT_EQ(desktop.Messages[3].Text, QStringLiteral("Cannot read."));
    EXPECT_EQ(desktop.Messages[3].Details, QStringLiteral("the cause"));
}

TEST(DefaultErrorBox, WrappedHandlersReceiveTheirArguments) {
    TFakeDesktop desktop;
    int seen = 0;
    auto handler = Guard([&](int v) {
        seen = v;
        if (v < 0)
            throw EFcError(QStringLiteral("negative"));
    });
    handler(5);
    handler(-1);
    EXPECT_EQ(seen, -1);
    EXPECT_EQ(desktop.Texts(), QStringList{QStringLiteral("negative.")});
}

TEST(IntegerConversion, AcceptsThe32BitRangeOnly) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), int(-2147483648LL));
    for (const char* bad : {"", "2147483648", "99999999999", "12a", " 1", "-", "1.5"}) {
        int v = 0;
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    }
    try {
        StrToInt("");
        FAIL() << "an empty text must not convert";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'' is not a valid integer value"));
    }
}

// Each opener in turn, the next one when the one before cannot start or, started, finds
// nothing to open the file with; when none is left the user is told where the file is (the
// chain once ended in silence).
TEST(Shell, OpenWithShellFallsBackInOrderAndSaysSoWhenNothingOpensTheFile) {
    TFakeDesktop desktop;
    desktop.ShellAccepts = false;
    OpenWithShell(nullptr, "/tmp/page.html");
    EXPECT_EQ(desktop.Opened, QStringList{"/tmp/page.html"});
    ASSERT_EQ(desktop.Started.size(), 3);
    EXPECT_EQ(desktop.Started[0], (QStringList{"xdg-open", "/tmp/page.html"}));
    EXPECT_EQ(desktop.Started[1].front(), QStringLiteral("x-www-browser"));
    EXPECT_EQ(desktop.Started[2].front(), QStringLiteral("sensible-browser"));
    ASSERT_EQ(desktop.Texts(), QStringList{NothingOpensText("/tmp/page.html")});
    EXPECT_EQ(desktop.Texts()[0],
              QStringLiteral("No program was found to open \"/tmp/page.html\"."));

    // The desktop takes the file, then finds no program for it: the next ones are tried.
    desktop.Messages.clear();
    desktop.Started.clear();
    desktop.ShellAccepts = true;
    desktop.StartAccepts = true;
    OpenWithShell(nullptr, "/tmp/sheet.jpg");
    ASSERT_EQ(desktop.OpenFailures.size(), 1u);
    EXPECT_TRUE(desktop.Started.isEmpty());
    desktop.OpenFailures.front()(); // xdg-open found nothing
    ASSERT_EQ(desktop.Started.size(), 1);
    EXPECT_EQ(desktop.Started[0].front(), QStringLiteral("xdg-open"));
    desktop.OpenFailures[1]();
    desktop.OpenFailures[2]();
    desktop.OpenFailures[3]();
    EXPECT_EQ(desktop.Started.size(), 3);
    EXPECT_EQ(desktop.Texts(), QStringList{NothingOpensText("/tmp/sheet.jpg")});
}

TEST(Shell, FilterPairsBecomeQtFilters) {
    EXPECT_EQ(QtFilterFromPairs("JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp"),
              QStringLiteral("JPEG Image File (*.jpg);;Bitmaps (*.bmp)"))
        << "a label that names its patterns is not followed by them again";
    EXPECT_EQ(QtFilterFromPairs("All|*.avi;*.mkv;|any files (*.*)|*.*"),
              QStringLiteral("All (*.avi *.mkv);;any files (*.*)"));
    EXPECT_EQ(QtFilterFromPairs("Pictures (*.png)|*.png;*.jpg"),
              QStringLiteral("Pictures (*.png) (*.png *.jpg)"))
        << "a label naming fewer patterns than it takes gets them all";
}

TEST(MemoryStream, ClearKeepsMemoryAndReadsBack) {
    TMemoryStream s;
    s.Write("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "cdef");
    const auto* before = s.Data();
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
    s.Write("xy", 2);
    EXPECT_EQ(s.Data(), before);
}

#include "common/kw_blend.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "editor/band_rules.h"
#include "editor/edit_actions.h"
#include "editor/edit_script.h"
#include "tests/editor/editor_fixture.h"

#include <gtest/gtest.h>

namespace {

const QImage::Format Layouts[] = {QImage::Format_RGB888, QImage::Format_RGB32,
                                  QImage::Format_ARGB32};

TTextWMAction SampleText() {
    kw::RegisterTahoma();
    TTextWMAction a;
    a.Text = QStringLiteral("Sample Text");
    a.FontName = QStringLiteral("Tahoma");
    a.FontSize = 16;
    a.FontColor = 0xB4FF0000u;
    a.Pos[PosMM] = true;
    return a;
}

} // namespace

TEST(EditActions, CropCopiesTheRectangleInEveryLayoutAndFillsWhatLiesOutsideWithBlack) {
    for (QImage::Format layout : Layouts) {
        const QImage frame = PatternFrame(2, QSize(300, 200), layout);
        QImage out;
        TCropAction{40, 30, 100, 50}.ApplyInto(frame, out);
        ASSERT_EQ(out.format(), layout);
        EXPECT_EQ(Rgb(out), Rgb(frame.copy(40, 30, 100, 50)));

        // A crop recorded on a larger frame: nothing is read past the edges, the rest is black.
        TCropAction{250, -10, 80, 40}.ApplyInto(frame, out);
        ASSERT_EQ(out.size(), QSize(80, 40));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 80; ++x) {
                const bool inside = 250 + x < 300 && y >= 10;
                const QRgb want = inside ? PatternPixel(250 + x, y - 10, 2) : qRgb(0, 0, 0);
                ASSERT_EQ(Rgb(out).pixel(x, y), want) << x << "," << y << " " << layout;
            }
        // The scratch picture is reused when it has the result's shape.
        const uchar* memory = out.constBits();
        TCropAction{0, 0, 80, 40}.ApplyInto(frame, out);
        EXPECT_EQ(out.constBits(), memory);
    }
    // Entirely off the frame: black, not an error.
    const TBitmap32 off = TCropAction{500, 500, 20, 10}.Apply(TBitmap32(100, 100));
    EXPECT_EQ(off.Pixel(19, 9), 0xFF000000u);
}

TEST(EditActions, ResizeStretchesEveryFrameToTheRecordedSizeNearestNeighbour) {
    const QImage square = PatternFrame(0, QSize(400, 400), QImage::Format_RGB888);
    QImage out;
    TResizeAction{320, 240}.ApplyInto(square, out);
    ASSERT_EQ(out.size(), QSize(320, 240));
    EXPECT_EQ(out.format(), QImage::Format_RGB888);
    // Column 0 takes source column (1 * 400) / 640 = 0, column 319 takes 399; row 239 takes 399.
    EXPECT_EQ(Rgb(out).pixel(0, 0), PatternPixel(0, 0, 0));
    EXPECT_EQ(Rgb(out).pixel(319, 239), PatternPixel(399, 399, 0));
    EXPECT_EQ(Rgb(out).pixel(160, 120), PatternPixel((321 * 400) / 640, (241 * 400) / 480, 0));
}

TEST(EditActions, TextCopiesStandOnATileGridOrAtTheAnchorsWithMarginsZeroAndTwo) {
    TTextWMAction a;
    a.Tile = true;
    a.Pos.fill(true); // ignored while tiling
    const QList<QPoint> tiles = a.Positions(640, 480, 100, 20);
    // 640 div 100 + 1 = 7 columns 115 apart, 480 div 20 + 1 = 25 rows 35 apart, columns outer.
    ASSERT_EQ(tiles.size(), 7 * 25);
    EXPECT_EQ(tiles[1], QPoint(0, 35));
    EXPECT_EQ(tiles[24], QPoint(0, 840));
    EXPECT_EQ(tiles[25], QPoint(115, 0));
    EXPECT_EQ(tiles.back(), QPoint(690, 840));
    // An empty text has no width: nothing to tile, and no division by zero.
    EXPECT_TRUE(a.Positions(640, 480, 0, 20).isEmpty());

    a.Tile = false;
    a.Pos.fill(false);
    a.Pos[PosBR] = true;
    a.Pos[PosTM] = true;
    EXPECT_EQ(a.Positions(640, 480, 100, 20), (QList<QPoint>{{270, 0}, {538, 458}}));
    // Text wider than the picture: the div truncates toward zero.
    a.Pos.fill(false);
    a.Pos[PosMM] = true;
    EXPECT_EQ(a.Positions(50, 11, 101, 20), (QList<QPoint>{{-25, -4}}));
}

TEST(EditActions, TextGivesTheSameColoursInEveryLayoutSoTheReplayMatchesThePreview) {
    TTextWMAction a = SampleText();
    a.Tile = true;
    const QImage frame = PatternFrame(1, QSize(320, 240), QImage::Format_RGB888);
    const TBitmap32 preview = a.Apply(TBitmap32::FromFrame(frame));
    EXPECT_NE(Rgb(preview.Image()), Rgb(frame)); // something was drawn
    const TTextWMAction::TStamp stamp = a.Prepare();
    for (QImage::Format layout : Layouts) {
        QImage replayed = frame.convertToFormat(layout);
        a.Stamp(replayed, stamp);
        EXPECT_EQ(Rgb(replayed), Rgb(preview.Image())) << layout;
    }
    // The text's own drawing, blended at coverage x 180 / 255: the darkest red pixel of the
    // text on black is the full-coverage one.
    TBitmap32 black(200, 60);
    a.Tile = false;
    const TBitmap32 drawn = a.Apply(black);
    int strongest = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            EXPECT_EQ(qGreen(drawn.Pixel(x, y)) | qBlue(drawn.Pixel(x, y)), 0);
            strongest = std::max(strongest, qRed(drawn.Pixel(x, y)));
        }
    EXPECT_EQ(strongest, 180);
    // An empty tiled text changes nothing.
    a.Text.clear();
    a.Tile = true;
    EXPECT_EQ(a.Apply(black), black);
}

TEST(EditActions, ImageWatermarkHalfOffTheFrameBlendsOnlyTheHalfOnIt) {
    QImage mark(40, 20, QImage::Format_RGB32);
    mark.fill(qRgb(255, 255, 255));
    const TImageWMAction a{-20, 10, 40, 20, 128, QString()};
    QImage frame = PatternFrame(0, QSize(100, 50));
    const QImage before = frame;
    a.Stamp(frame, a.Scale(mark));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const QRgb b = before.pixel(x, y);
            const QRgb want =
                x < 20 && y >= 10 && y < 30
                    ? qRgb((128 * 255 + 127 * qRed(b)) / 256, (128 * 255 + 127 * qGreen(b)) / 256,
                           (128 * 255 + 127 * qBlue(b)) / 256)
                    : b;
            ASSERT_EQ(frame.pixel(x, y), want) << x << "," << y;
        }
    // The file is read when the watermark is loaded; one that is not there is an error naming it.
    const TImageWMAction missing{0, 0, 10, 10, 80, QStringLiteral("/nonexistent/mark.png")};
    EXPECT_THROW(missing.LoadWatermark(), kw::EFcError);
}

TEST(EditScript, RecordsActionsInOrderAsXmlWithTheirAttributesInOrder) {
    TEditScript script;
    script.RecordCrop({160, 120, 320, 240});
    TTextWMAction text = SampleText();
    text.Text = QStringLiteral("A & B");
    script.RecordTextWatermark(text);
    script.RecordImageWatermark({-5, 7, 40, 30, 80, QStringLiteral("/tmp/mark.png")});
    script.RecordResize({320, 240});
    script.DeactivateLastAction();
    EXPECT_EQ(script.Xml().toStdString(),
              QStringLiteral(
                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                  "<Action><Crop Active=\"yes\" X=\"160\" Y=\"120\" Width=\"320\" Height=\"240\"/>"
                  "<TextWM Active=\"yes\" Text=\"A &amp; B\" FontName=\"Tahoma\" Bold=\"false\" "
                  "Italic=\"false\" UnderLine=\"false\" StrikeOut=\"false\" FontSize=\"16\" "
                  "FontColor=\"3036610560\" Tile=\"false\" PosTL=\"false\" PosTM=\"false\" "
                  "PosTR=\"false\" PosML=\"false\" PosMM=\"true\" PosMR=\"false\" "
                  "PosBL=\"false\" PosBM=\"false\" PosBR=\"false\"/>"
                  "<ImgWM Active=\"yes\" X=\"-5\" Y=\"7\" Width=\"40\" Height=\"30\" "
                  "Alpha=\"80\" ImgWM=\"/tmp/mark.png\"/>"
                  "<Resize Active=\"no\" Width=\"320\" Height=\"240\"/></Action>\n")
                  .toStdString());

    // Read back: the active ones, with the same values.
    const std::vector<TEditAction> actions = script.ActiveActions();
    ASSERT_EQ(actions.size(), 3u);
    const auto& crop = std::get<TCropAction>(actions[0]);
    EXPECT_EQ(crop.X + crop.Y + crop.Width + crop.Height, 160 + 120 + 320 + 240);
    const auto& t = std::get<TTextWMAction>(actions[1]);
    EXPECT_EQ(t.FontColor, 0xB4FF0000u);
    EXPECT_EQ(t.Text, QStringLiteral("A & B"));
    EXPECT_EQ(t.Pos, text.Pos);
    EXPECT_EQ(std::get<TImageWMAction>(actions[2]).X, -5);
}

TEST(EditScript, UndoAndRedoSwitchTheTailAndANewRecordDropsWhatWasUndone) {
    TEditScript script;
    script.DeactivateLastAction(); // nothing to undo: nothing happens
    script.ReactivateNextAction();
    EXPECT_EQ(script.CountActiveActions(), 0);
    script.RecordCrop({0, 0, 10, 10});
    script.RecordResize({5, 5});
    script.RecordResize({6, 6});
    script.DeactivateLastAction();
    script.DeactivateLastAction();
    EXPECT_EQ(script.CountActiveActions(), 1);
    script.ReactivateNextAction(); // the first undone comes back first
    EXPECT_EQ(std::get<TResizeAction>(script.ActiveActions().back()).Width, 5);
    script.RecordCrop({1, 1, 2, 2}); // the resize to 6 x 6 is gone for good
    script.ReactivateNextAction();
    EXPECT_EQ(script.Xml().count(QStringLiteral(" Active=")), 3);
    EXPECT_EQ(script.CountActiveActions(), 3);
    for (int i = 0; i < 4; ++i)
        script.DeactivateLastAction();
    EXPECT_EQ(script.CountActiveActions(), 0);
    script.ReactivateNextAction();
    EXPECT_TRUE(std::holds_alternative<TCropAction>(script.ActiveActions().front()));
}

// Recorded, undone and redone, with texts that need escaping and colours past 31 bits: the
// text made on demand from the kept values is the one the script has always given.
TEST(EditScript, TheXmlOfARecordedUndoneAndRedoneScriptStaysByteForByte) {
    TEditScript script;
    script.RecordResize({1920, 1080});
    TTextWMAction text = SampleText();
    text.Text = QStringLiteral("<\"quoted\" & 'single'> caf\u00e9 \u00a9\t\u2603");
    text.FontName.clear();
    text.Bold = text.Tile = true;
    text.FontColor = 0xFFFFFFFFu;
    text.Pos = {true, false, false, false, false, false, false, false, true};
    script.RecordTextWatermark(text);
    script.RecordCrop({-3, 0, 1, 2147483647});
    script.RecordImageWatermark({0, -1, 7, 9, 255, QStringLiteral("/tmp/a b/m\u00e4rk&<>.png")});
    script.DeactivateLastAction();
    script.DeactivateLastAction();
    script.DeactivateLastAction();
    script.ReactivateNextAction();
    EXPECT_EQ(
        script.Xml().toStdString(),
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Action>"
                    "<Resize Active=\"yes\" Width=\"1920\" Height=\"1080\"/>"
                    "<TextWM Active=\"yes\" Text=\"&lt;&quot;quoted&quot; &amp; 'single'&gt; "
                    "caf\xC3\xA9 \xC2\xA9&#9;\xE2\x98\x83\" FontName=\"\" Bold=\"true\" "
                    "Italic=\"false\" UnderLine=\"false\" StrikeOut=\"false\" FontSize=\"16\" "
                    "FontColor=\"4294967295\" Tile=\"true\" PosTL=\"true\" PosTM=\"false\" "
                    "PosTR=\"false\" PosML=\"false\" PosMM=\"false\" PosMR=\"false\" "
                    "PosBL=\"false\" PosBM=\"false\" PosBR=\"true\"/>"
                    "<Crop Active=\"no\" X=\"-3\" Y=\"0\" Width=\"1\" Height=\"2147483647\"/>"
                    "<ImgWM Active=\"no\" X=\"0\" Y=\"-1\" Width=\"7\" Height=\"9\" Alpha=\"255\" "
                    "ImgWM=\"/tmp/a b/m\xC3\xA4rk&amp;&lt;&gt;.png\"/></Action>\n"));
}

TEST(BandRules, CtrlKeepsTheCentreShiftTheProportionsAndTheCropBandStaysOnThePicture) {
    using enum TDragState;
    // Ctrl: the right handle of 240..360 (centre 300) dragged to 390 gives 210..390.
    TFloatRect n = FloatRect(240, 100, 390, 200);
    BandResizing(FloatRect(240, 100, 360, 200), n, Right, Qt::ControlModifier, nullptr);
    EXPECT_EQ(n, FloatRect(210, 100, 390, 200));
    // With Ctrl a move leaves the rectangle where it was.
    n = FloatRect(250, 110, 370, 210);
    BandResizing(FloatRect(240, 100, 360, 200), n, Move, Qt::ControlModifier, nullptr);
    EXPECT_EQ(n, FloatRect(240, 100, 360, 200));

    // Shift: 200 x 100 dragged by its right edge to 300 wide is 150 high, its top unchanged.
    const TFloatRect s = FloatRect(0, 0, 200, 100);
    n = FloatRect(0, 0, 300, 100);
    BandResizing(s, n, Right, Qt::ShiftModifier, nullptr);
    EXPECT_EQ(n, FloatRect(0, 0, 300, 150));
    // Its bottom-right corner dragged to 120 high: the height leads, 240 wide.
    n = FloatRect(0, 0, 210, 120);
    BandResizing(s, n, BottomRight, Qt::ShiftModifier, nullptr);
    EXPECT_EQ(n, FloatRect(0, 0, 240, 120));

    // The crop band on a picture at (20, 10) of 640 x 480: a move past the left edge slides
    // along it with its size, a handle dragged past it stops on it.
    const QRect picture(20, 10, 640, 480);
    n = FloatRect(-30, 50, 90, 150);
    BandResizing(FloatRect(40, 50, 160, 150), n, Move, {}, &picture);
    EXPECT_EQ(n, FloatRect(20, 50, 140, 150));
    n = FloatRect(5, 50, 160, 150);
    BandResizing(FloatRect(40, 50, 160, 150), n, Left, {}, &picture);
    EXPECT_EQ(n, FloatRect(20, 50, 160, 150));
    n = FloatRect(600, 400, 720, 500);
    BandResizing(FloatRect(500, 300, 620, 400), n, Move, {}, &picture);
    EXPECT_EQ(n, FloatRect(540, 390, 660, 490));
}

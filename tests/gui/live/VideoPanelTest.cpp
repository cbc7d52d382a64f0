// The video panel and its windows without a camera: layouts, the active
// frame, mouse routing, titles and marks, the render surface's hand-over from
// the SDK thread, and detection boxes as draw items.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <thread>
#include <vector>

#include "gui/live/PlayWnd.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoDlg.h"
#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"

namespace {

constexpr int kWaitMs = 5000;

// Collects the messages the panel hands on: type and window.
class Recorder : public QObject {
public:
    std::vector<std::pair<int, int>> seen;
    bool Has(int type) const {
        return std::any_of(seen.begin(), seen.end(), [&](auto& s) { return s.first == type; });
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() < QEvent::User) return QObject::event(e);
        auto* mouse = dynamic_cast<ky::video::CVideoMouseEvent*>(e);
        seen.push_back({int(e->type()), mouse ? mouse->window : -1});
        return true;
    }
};

TEST(VideoPanelLayout, WindowsOfEveryKindFitWithoutOverlapUpToTheCorner) {
    const QSize size(803, 605);
    const QRect inside(2, 2, size.width() - 4, size.height() - 4);
    for (auto [kind, count] : {std::pair{1, 1}, {2, 4}, {3, 9}, {4, 16}, {5, 25}, {6, 36}, {16, 6}, {18, 8}}) {
        ASSERT_EQ(CScreenPannel::WindowCount(kind), count);
        QRegion covered;
        for (int i = 0; i < count; ++i) {
            const QRect r = CScreenPannel::WindowRect(kind, i, size);
            EXPECT_TRUE(inside.contains(r) && !covered.intersects(r)) << kind << ": " << i;
            covered += r;
        }
        // Row by row; the last window reaches the corner; one large window leads the others.
        const QRect first = CScreenPannel::WindowRect(kind, 0, size), second = CScreenPannel::WindowRect(kind, 1, size);
        EXPECT_EQ(CScreenPannel::WindowRect(kind, count - 1, size).bottomRight(), inside.bottomRight()) << kind;
        EXPECT_TRUE(kind == 1 || second.left() > first.left()) << kind;
        EXPECT_TRUE(kind <= 6 || first.width() > 2 * second.width()) << kind;
        EXPECT_TRUE(CScreenPannel::WindowRect(kind, count, size).isNull());
    }
    EXPECT_EQ(CScreenPannel::WindowCount(7), 0);
}

class VideoPanel : public ::testing::Test {
protected:
    void SetUp() override {
        panel.SetNotifyTarget(&target);
        panel.resize(402, 302);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        ASSERT_TRUE(panel.SetLayoutKind(2));
    }
    QWidget* Surface(int window) const { return panel.Window(window)->PlayWnd(); }
    QPoint Center(int window) const { return Surface(window)->rect().center(); }
    // Surface -> video window -> panel -> dialog: one posted hop each.
    void Settle() {
        for (int hop = 0; hop < 3; ++hop) QCoreApplication::sendPostedEvents();
    }
    QColor LeftOf(int window) {
        const QRect r = panel.Window(window)->geometry();
        return panel.grab().toImage().pixelColor(r.left() - 1, r.center().y());
    }

    Recorder target;
    CScreenPannel panel;
};

TEST_F(VideoPanel, LayoutShowsItsWindowsOnlyAndTheActiveOneHasAMagentaFrame) {
    for (int i = 0; i < CScreenPannel::kWindows; ++i) EXPECT_EQ(panel.Window(i)->isVisible(), i < 4) << i;
    EXPECT_FALSE(panel.SetLayoutKind(7));
    EXPECT_EQ(panel.LayoutKind(), 2);
    EXPECT_EQ(LeftOf(0), CScreenPannel::kActiveFrame);
    EXPECT_EQ(LeftOf(1), CScreenPannel::kBackground);
    panel.SetActiveWindow(1);
    EXPECT_EQ(LeftOf(0), CScreenPannel::kBackground);
    EXPECT_EQ(LeftOf(1), CScreenPannel::kActiveFrame);
}

TEST_F(VideoPanel, MouseActionsTravelFromSurfaceToPanelToTheDialog) {
    // Left button: the window becomes active; only the button-up goes on.
    QTest::mouseClick(Surface(3), Qt::LeftButton, {}, Center(3));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 3);
    EXPECT_FALSE(target.Has(ky::video::kLeftDown));
    EXPECT_TRUE(target.Has(ky::video::kLeftUp));
    // Right button: active, and the dialog is asked for its menu; moves pass through.
    QTest::mousePress(Surface(2), Qt::RightButton, {}, Center(2));
    QTest::mouseMove(Surface(2), Center(2) + QPoint(3, 3));
    Settle();
    EXPECT_EQ(panel.ActiveWindow(), 2);
    EXPECT_NE(std::find(target.seen.begin(), target.seen.end(), std::pair{int(ky::video::kContextMenu), 2}),
              target.seen.end());
    EXPECT_TRUE(target.Has(ky::video::kMouseMove));

    // Double click: the window is enlarged over the panel, and back.
    QTest::mouseDClick(Surface(1), Qt::LeftButton, {}, Center(1));
    Settle();
    EXPECT_TRUE(target.Has(ky::video::kDoubleClick));
    EXPECT_TRUE(panel.Enlarged());
    EXPECT_EQ(panel.Window(1)->geometry(), CScreenPannel::WindowRect(1, 0, panel.size()));
    EXPECT_FALSE(panel.Window(0)->isVisible());
    QTest::mouseDClick(Surface(1), Qt::LeftButton, {}, Center(1));
    Settle();
    EXPECT_FALSE(panel.Enlarged());
    EXPECT_EQ(panel.Window(1)->geometry(), CScreenPannel::WindowRect(2, 1, panel.size()));
    EXPECT_TRUE(panel.Window(0)->isVisible());
}

TEST(VideoPanelKeys, EscapeAsksTheDialogOnlyWhileThePanelCoversTheScreen) {
    QWidget host;
    Recorder target;
    auto* panel = new CScreenPannel(&host);
    panel->SetNotifyTarget(&target);
    QTest::keyClick(panel, Qt::Key_Escape);
    QTest::keyClick(panel, Qt::Key_Return);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target.seen.empty());
    panel->setParent(nullptr, Qt::Window);   // as in full screen
    QTest::keyClick(panel, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(target.seen, (std::vector<std::pair<int, int>>{{ky::video::kFullScreenEscape, -1}}));
    delete panel;
}

TEST(VideoWindow, TitleIsGreenMarksAreDrawnAndUnchangedStateDoesNotRepaint) {
    CVideoWnd wnd(0);
    wnd.resize(320, 200);
    wnd.SetTitle("192.168.1.10");
    const int updates = wnd.TitleUpdates();
    wnd.SetTitle("192.168.1.10");
    wnd.SetMarks(false, false, false);
    EXPECT_EQ(wnd.TitleUpdates(), updates);
    // Pixels of the title strip near a colour: green text, red, yellow and cyan marks.
    auto count = [&](QRgb want) {
        const QImage shot = wnd.grab().toImage();
        int n = 0;
        for (int y = 0; y < CVideoWnd::kTitleHeight; ++y)
            for (int x = 0; x < 320; ++x) {
                const QColor c = shot.pixelColor(x, y);
                n += std::abs(c.red() - qRed(want)) < 60 && std::abs(c.green() - qGreen(want)) < 60 &&
                     std::abs(c.blue() - qBlue(want)) < 60;
            }
        return n;
    };
    EXPECT_GT(count(qRgb(0, 255, 0)), 20);
    EXPECT_EQ(count(qRgb(255, 0, 0)), 0);
    wnd.SetMarks(true, true, true);
    EXPECT_EQ(wnd.TitleUpdates(), updates + 1);
    for (QRgb mark : {qRgb(255, 0, 0), qRgb(255, 200, 0), qRgb(0, 200, 255)}) EXPECT_GT(count(mark), 10) << mark;
    EXPECT_EQ(wnd.grab().toImage().pixelColor(160, 120), QColor(Qt::black));   // below the strip
}

TEST(PlaySurface, PicturesFromAnotherThreadAreCopiedAndLetterboxedInSoftwareMode) {
    CPlayWnd surface(0);
    surface.resize(64, 48);
    surface.show();
    int vw = 0, vh = 0;
    ASSERT_TRUE(surface.ViewSize(&vw, &vh));
    EXPECT_EQ(QSize(vw, vh), QSize(64, 48));
    QSignalSpy states(&surface, &CPlayWnd::streamStateChanged);
    std::thread sdk([&] {
        std::vector<uint32_t> pixels(16 * 8, 0xFF112233u);
        surface.PresentFrame(reinterpret_cast<const uint8_t*>(pixels.data()), 16, 8, 16 * 4, 1);
        pixels.assign(pixels.size(), 0xFFFF0000u);   // the SDK reuses its buffer
        surface.StreamState(false);
    });
    sdk.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.FramesShown() == 1 && states.count() == 1; }, kWaitMs));
    EXPECT_EQ(surface.Picture().size(), QSize(16, 8));
    EXPECT_EQ(surface.Picture().pixel(3, 3), 0xFF112233u);
    EXPECT_EQ(surface.DisplayMode(), 1);
    EXPECT_FALSE(surface.GpuActive());
    EXPECT_FALSE(states.at(0).at(0).toBool());
    // A 2:1 picture in a 4:3 surface: full width, black bars above and below,
    // and the SDK is told the picture's area for mapping mouse positions.
    const QImage shown = surface.grab().toImage();
    EXPECT_EQ(surface.PictureRect(), QRect(0, 8, 64, 32));
    EXPECT_EQ(shown.pixel(30, 20), 0xFF112233u);
    EXPECT_EQ(shown.pixel(30, 3), 0xFF000000u);
    EXPECT_EQ(shown.pixel(30, 44), 0xFF000000u);
    ASSERT_TRUE(surface.ViewSize(&vw, &vh));
    EXPECT_EQ(QSize(vw, vh), QSize(64, 32));
}

TEST(PlaySurface, ClearDropsWhatTheEndedPlayStillHadQueued) {
    CPlayWnd surface(0);
    surface.resize(32, 32);
    QSignalSpy states(&surface, &CPlayWnd::streamStateChanged);
    std::vector<uint32_t> pixels(4 * 4, 0xFF00FF00u);
    const auto* data = reinterpret_cast<const uint8_t*>(pixels.data());
    surface.PresentFrame(data, 4, 4, 16, 1);
    surface.StreamState(true);
    surface.Clear();                          // before the queued hand-over ran
    surface.PresentFrame(data, 4, 4, 8, 1);   // bad geometry from the SDK is ignored
    surface.PresentFrame(nullptr, 4, 4, 16, 1);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(surface.FramesShown(), 0);
    EXPECT_TRUE(surface.Picture().isNull());
    EXPECT_EQ(states.count(), 0);
    // The next picture is shown again.
    surface.PresentFrame(data, 4, 4, 16, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.FramesShown() == 1; }, kWaitMs));
    EXPECT_EQ(surface.DisplayMode(), 0);
    EXPECT_EQ(surface.GpuActive(), CPlayWnd::GpuAvailable());
}

// label, left, top, right, bottom, kind, colour of a draw item.
std::string Describe(const DetectionDraw& draw, int i) {
    const KY_DRAW_ITEM& it = draw.items[i];
    return std::string(it.label) + " " + std::to_string(it.left) + "," + std::to_string(it.top) + "," +
           std::to_string(it.right) + "," + std::to_string(it.bottom) + " kind " + std::to_string(it.kind) +
           " colour " + std::to_string(it.color ? it.color->color : 0);
}

TEST(DetectionDrawItems, BoxesBecomeColouredItemsOfTheirKind) {
    // Motion boxes: red, only the first four drawn.
    const std::vector<int32_t> motion = {1, 10,  20,  30, 40, 2, 50, 60, 70, 80, 3, 0, 0, 5, 5,
                                         4, 100, 100, 1,  1,  5, 7,  7,  7,  7,  6, 8, 8, 8, 8};
    DetectionDraw draw;
    MakeDetectionDraw(ky::video::kMotionBoxes, motion.data(), motion.size(), 5, &draw);
    ASSERT_EQ(draw.count, 4);
    EXPECT_EQ(draw.penWidth, 5);
    EXPECT_EQ(Describe(draw, 0), "1 10,20,40,60 kind 4 colour 255");
    EXPECT_EQ(Describe(draw, 3), "4 100,100,101,101 kind 4 colour 255");
    const KY_DRAW_ITEM& first = draw.items[0];
    EXPECT_EQ(std::tuple(first.shape, first.style, first.fontSize, first.lineStyle), std::tuple(1, 3, 24, 2));
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(draw.items[i].color, &draw.colors[i]);
        EXPECT_EQ(std::tuple(draw.colors[i].reserved0, draw.colors[i].visible, draw.colors[i].reserved1),
                  std::tuple(0, 1, 0));
    }

    // Person boxes: yellow, numbered from 100, safe against odd input; a trailing partial record is ignored.
    const std::vector<int32_t> person = {7, 2147483000, -5, 2000, 10, 2147483647, 0, 0, 1, 1, 9, 9};
    MakeDetectionDraw(ky::video::kPersonBoxes, person.data(), person.size(), 2, &draw);
    ASSERT_EQ(draw.count, 2);
    EXPECT_EQ(Describe(draw, 0), "107 2147483000,-5,2147483647,5 kind 15 colour 65535");   // kept inside int32
    EXPECT_STREQ(draw.items[1].label, "2147483747");
    EXPECT_EQ(draw.penWidth, 2);
    MakeDetectionDraw(ky::video::kMotionBoxes, person.data(), 4, 5, &draw);
    EXPECT_EQ(draw.count, 0);
    EXPECT_EQ(draw.items[0].color, nullptr);

    // Pen: 10 for motion boxes larger than 1920 x 1080 both ways, else 5; person boxes by stream.
    using ky::video::kMotionBoxes, ky::video::kPersonBoxes;
    for (auto [kind, w, h, stream, pen] : {std::tuple{kMotionBoxes, 1920, 1080, 0, 5},
                                           {kMotionBoxes, 2560, 1080, 0, 5},
                                           {kMotionBoxes, 1920, 1440, 0, 5},
                                           {kMotionBoxes, 2560, 1440, 1, 10},
                                           {kMotionBoxes, 0, 0, 0, 5},
                                           {kPersonBoxes, 2560, 1440, 0, 5},
                                           {kPersonBoxes, 640, 360, 1, 2}})
        EXPECT_EQ(DetectionPenWidth(kind, w, h, stream), pen) << kind << " " << w << "x" << h << " " << stream;
}

}   // namespace

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "gui/controls/WeekCtrl.h"

namespace {

void SendMouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent ev(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &ev);
}

void Press(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
void Move(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
void Release(QWidget& w, QPoint p) { SendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }

// Press at `from`, move through `path`, release at the last point.
void Drag(QWidget& w, QPoint from, std::initializer_list<QPoint> path) {
    Press(w, from);
    QPoint last = from;
    for (QPoint p : path) {
        Move(w, p);
        last = p;
    }
    Release(w, last);
}

// A point inside cell (day, slot) of a 560x200 grid (10x25 cells).
QPoint In(int day, int slot, int dx = 5, int dy = 12) { return QPoint(80 + slot * 10 + dx, 25 + day * 25 + dy); }

struct WeekGrid : ::testing::Test {
    CWeekCtrl grid;
    void SetUp() override {
        grid.resize(560, 200);
        grid.SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N')));
    }
    QString Day(int d) const { return grid.Text()[size_t(d)]; }
    QImage Render() {
        QImage img(grid.size(), QImage::Format_RGB32);
        grid.render(&img);
        return img;
    }
};

QString Slots(const QString& day, int from, int count) { return day.mid(from, count); }

}   // namespace

TEST_F(WeekGrid, GeometryFollowsClientSize) {
    EXPECT_EQ(grid.CellWidth(), 10);
    EXPECT_EQ(grid.CellHeight(), 25);
    EXPECT_EQ(grid.CellRect(1, 16), QRect(240, 50, 10, 25));

    // Below 128 pixels the cells have no width and no press starts a drag.
    grid.resize(127, 200);
    EXPECT_EQ(grid.CellWidth(), 0);
    Press(grid, QPoint(100, 60));
    EXPECT_FALSE(grid.IsDragging());
    grid.resize(128, 200);
    EXPECT_EQ(grid.CellWidth(), 1);
    // Narrower than the label column: still no negative cells.
    grid.resize(40, 10);
    EXPECT_EQ(grid.CellWidth(), 0);
    EXPECT_EQ(grid.CellHeight(), 0);
}

TEST_F(WeekGrid, DragTogglesWholeCellsInsideTheRectangle) {
    // Monday 08:00 to 09:59: half hours 16..19 of row 1.
    Drag(grid, In(1, 16), {In(1, 17), In(1, 19, 9, 20)});
    EXPECT_FALSE(grid.IsDragging());
    EXPECT_EQ(Day(1), QString(16, 'N') + "PPPP" + QString(28, 'N'));
    for (int d : {0, 2, 3, 4, 5, 6}) EXPECT_EQ(Day(d), QString(48, 'N')) << d;

    // Across three days and two columns.
    Drag(grid, In(2, 0, 1, 1), {In(4, 1)});
    for (int d : {2, 3, 4}) EXPECT_EQ(Slots(Day(d), 0, 3), "PPN") << d;
    EXPECT_EQ(Slots(Day(5), 0, 2), "NN");

    // The last column and the last day are reachable.
    Drag(grid, In(6, 47), {In(6, 47, 8, 20)});
    EXPECT_EQ(Day(6).at(47), QLatin1Char('P'));
}

TEST_F(WeekGrid, MixedBlockIsInvertedPerCell) {
    CWeekCtrl::WeekText text = CWeekCtrl::FilledWeek(QLatin1Char('N'));
    text[3].replace(10, 4, "PPNN");
    text[4].replace(10, 4, "NPNP");
    grid.SetSchedule(7, text);
    Drag(grid, In(3, 10), {In(4, 13)});
    EXPECT_EQ(Slots(Day(3), 9, 6), "NNNPPN");
    EXPECT_EQ(Slots(Day(4), 9, 6), "NPNPNN");
    // A second identical drag restores the block.
    Drag(grid, In(3, 10), {In(4, 13)});
    EXPECT_EQ(grid.Text(), text);
    // Characters other than 'P' count as not armed.
    text[0][5] = QLatin1Char('x');
    grid.SetSchedule(7, text);
    Drag(grid, In(0, 5), {In(0, 5, 6)});
    EXPECT_EQ(Day(0).at(5), QLatin1Char('P'));
}

TEST_F(WeekGrid, DragGrowsOnlyRightAndDown) {
    const QRect start = grid.CellRect(3, 20);
    Press(grid, In(3, 20));
    Move(grid, In(3, 20, 7));
    EXPECT_EQ(grid.DragRect(), start.adjusted(0, 0, 1, 1));
    Move(grid, In(3, 15));   // left of the start: ignored
    Move(grid, In(1, 22));   // above the start: ignored
    Move(grid, In(1, 15));
    EXPECT_EQ(grid.DragRect(), start.adjusted(0, 0, 1, 1));
    Release(grid, In(1, 15));
    EXPECT_EQ(Day(3), QString(20, 'N') + "P" + QString(27, 'N'));
    EXPECT_EQ(Day(1), QString(48, 'N'));

    // Moving back towards the start shrinks the rectangle again.
    Drag(grid, In(5, 30), {In(5, 35), In(5, 32)});
    EXPECT_EQ(Slots(Day(5), 29, 6), "NPPPNN");

    // Leaving the cells keeps the last edge inside them.
    Drag(grid, In(0, 44), {In(0, 46), QPoint(700, In(0, 46).y())});
    EXPECT_EQ(Slots(Day(0), 43, 5), "NPPPN");
}

TEST_F(WeekGrid, PressWithoutMoveTogglesNothing) {
    Press(grid, In(2, 2));
    EXPECT_TRUE(grid.IsDragging());
    Release(grid, In(2, 2));
    EXPECT_EQ(grid.Text(), CWeekCtrl::FilledWeek(QLatin1Char('N')));
    // Right button and presses outside the cells start nothing.
    SendMouse(grid, QEvent::MouseButtonPress, In(2, 2), Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(grid.IsDragging());
    for (QPoint p : {QPoint(80, 60), QPoint(50, 60), QPoint(560, 60), QPoint(200, 25), QPoint(200, 200)}) {
        Press(grid, p);
        EXPECT_FALSE(grid.IsDragging()) << p.x() << "," << p.y();
    }
}

// The press must lie below the header edge, whatever the cell height.
TEST_F(WeekGrid, PressBoundIsTheHeaderEdge) {
    grid.resize(560, 375);   // cells 50 high: the upper half of Sunday counts
    ASSERT_EQ(grid.CellHeight(), 50);
    Drag(grid, QPoint(125, 30), {QPoint(125, 40)});
    EXPECT_EQ(Day(0).at(4), QLatin1Char('P'));

    grid.resize(560, 116);   // cells 13 high: the header never starts a drag
    ASSERT_EQ(grid.CellHeight(), 13);
    Press(grid, QPoint(125, 20));
    EXPECT_FALSE(grid.IsDragging());
}

TEST_F(WeekGrid, PressOnACellLineStartsAtTheCellThatBeginsThere) {
    Drag(grid, In(1, 0), {In(1, 1)});   // leaves an earlier left edge of 80
    Press(grid, QPoint(250, 60));       // the line between half hours 16 and 17
    EXPECT_EQ(grid.DragRect().left(), 250);
    Move(grid, In(1, 18));
    Release(grid, In(1, 18));
    EXPECT_EQ(Slots(Day(1), 0, 20), "PP" + QString(15, 'N') + "PPN");
}

TEST_F(WeekGrid, CancelDragDropsTheRectangle) {
    int outside = 0;
    QObject::connect(&grid, &CWeekCtrl::DragOutside, [&] { ++outside; });
    Press(grid, In(2, 2));
    Move(grid, In(2, 4));
    EXPECT_EQ(outside, 0);
    Move(grid, QPoint(600, 70));
    EXPECT_EQ(outside, 1);
    grid.CancelDrag();
    EXPECT_FALSE(grid.IsDragging());
    Release(grid, In(2, 4));
    EXPECT_EQ(grid.Text(), CWeekCtrl::FilledWeek(QLatin1Char('N')));
}

TEST_F(WeekGrid, ScheduleIdentifierAndText) {
    CWeekCtrl fresh;
    int id = 5;
    CWeekCtrl::WeekText text;
    fresh.GetSchedule(id, text);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(text[0], QString(48, QChar(0)));

    CWeekCtrl::WeekText in = CWeekCtrl::FilledWeek(QLatin1Char('P'));
    in[2] = "PN";               // short day: padded with zeros
    in[3] = QString(50, 'N');   // long day: cut to 48
    grid.SetSchedule(3, in);
    grid.GetSchedule(id, text);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(text[2], "PN" + QString(46, QChar(0)));
    EXPECT_EQ(text[3], QString(48, 'N'));

    grid.SetSchedule(-4, in);   // negative: cleared
    grid.GetSchedule(id, text);
    EXPECT_EQ(id, -4);
    for (const QString& day : text) EXPECT_EQ(day, QString(48, QChar(0)));
}

TEST(WeekConversion, CameraDayStringsRoundTrip) {
    WeekDays days{};
    for (int d = 0; d < kWeekDays; ++d) std::memset(days[d], d % 2 ? 'P' : 'N', kDaySlots);
    // A day that fills all 49 bytes keeps only its first 48.
    std::memset(days[3], 'P', sizeof days[3]);
    std::memcpy(days[4], "PPN", 4);   // short day

    const CWeekCtrl::WeekText text = CWeekCtrl::FromWeekDays(days);
    EXPECT_EQ(text[0], QString(48, 'N'));
    EXPECT_EQ(text[1], QString(48, 'P'));
    EXPECT_EQ(text[3], QString(48, 'P'));
    EXPECT_EQ(text[4], "PPN" + QString(45, QChar(0)));

    WeekDays back;
    std::memset(back, 0x55, sizeof back);
    CWeekCtrl::ToWeekDays(text, back);
    EXPECT_STREQ(back[0], std::string(48, 'N').c_str());
    EXPECT_STREQ(back[3], std::string(48, 'P').c_str());
    // Never-set half hours go out as 'N', so the day stays 48 long.
    EXPECT_STREQ(back[4], ("PPN" + std::string(45, 'N')).c_str());

    std::array<std::string, kWeekDays> strings;
    strings.fill(std::string(48, 'N'));
    strings[3] = std::string(48, 'P') + "PP";   // 50 characters from the camera
    strings[5] = "P\xe9N";                      // odd bytes survive unchanged
    const auto viaText = CWeekCtrl::ToDayStrings(CWeekCtrl::FromDayStrings(strings));
    EXPECT_EQ(viaText[3], std::string(48, 'P'));
    EXPECT_EQ(viaText[5], "P\xe9N" + std::string(45, 'N'));
    EXPECT_EQ(viaText[0], strings[0]);
}

TEST_F(WeekGrid, HalfHoursSetAfterAShortDayAreKept) {
    std::array<std::string, kWeekDays> strings;
    strings.fill(std::string(48, 'N'));
    strings[1] = "PPPP";
    grid.SetSchedule(0, CWeekCtrl::FromDayStrings(strings));
    Drag(grid, In(1, 20), {In(1, 21)});
    int id = 0;
    CWeekCtrl::WeekText text;
    grid.GetSchedule(id, text);
    EXPECT_EQ(CWeekCtrl::ToDayStrings(text)[1], "PPPP" + std::string(16, 'N') + "PP" + std::string(26, 'N'));
}

TEST_F(WeekGrid, PaintsArmedCellsLinesAndDragRectangle) {
    CWeekCtrl::WeekText text = CWeekCtrl::FilledWeek(QLatin1Char('N'));
    text[1][16] = QLatin1Char('P');
    grid.SetSchedule(0, text);
    QImage img = Render();
    const QRgb green = qRgb(0, 255, 0);
    EXPECT_EQ(img.pixel(In(1, 16)), green);
    EXPECT_EQ(img.pixel(In(1, 15, 3, 3)), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(80 + 2 * 10, 3), qRgb(0, 0, 150));        // hour line through the header
    EXPECT_EQ(img.pixel(80 + 3 * 10, 40), qRgb(192, 192, 192));   // half-hour line
    EXPECT_EQ(img.pixel(305, 25 + 2 * 25), qRgb(192, 192, 192));
    EXPECT_EQ(img.pixel(1, 100), qRgb(80, 80, 80));   // border

    // An unloaded grid shows no armed cells.
    grid.SetSchedule(-1, text);
    EXPECT_EQ(Render().pixel(In(1, 16)), qRgb(255, 255, 255));
    grid.SetSchedule(0, text);

    // The drag rectangle inverts with mid grey while it is held.
    Press(grid, In(1, 16));
    Move(grid, In(2, 17));
    img = Render();
    EXPECT_EQ(img.pixel(In(2, 17, 3, 3)), qRgb(127, 127, 127));
    EXPECT_EQ(img.pixel(In(1, 16, 3, 3)), qRgb(128, 127, 128));
    Release(grid, In(2, 17));
    img = Render();
    EXPECT_EQ(img.pixel(In(2, 17, 3, 3)), green);
    EXPECT_EQ(img.pixel(In(1, 16, 3, 3)), qRgb(255, 255, 255));
}

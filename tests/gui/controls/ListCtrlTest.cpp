#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "gui/controls/ListCtrlCl.h"

namespace {

// Bounding box of the pixels in `area` that differ from the background the
// function gives for their pixel row.
QRect InkBox(const QImage& img, const QRect& area, const std::function<QRgb(int)>& background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) != background(y)) box |= QRect(x, y, 1, 1);
    return box;
}

int CountPixels(const QImage& img, const QRect& area, const std::function<bool(QColor)>& pred) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += pred(QColor(img.pixel(x, y))) ? 1 : 0;
    return n;
}

struct ListCtrl : ::testing::Test {
    CListCtrlCl list;

    void Show() {
        list.resize(600, 240);
        list.show();
        QApplication::processEvents();
    }
    QImage Cells() { return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage HeaderImage() { return list.Header()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRect CellRect(int row, int column) { return list.visualRect(list.model()->index(row, column)); }
    QRgb Corner(const QImage& img, int row, int column) {
        return img.pixel(CellRect(row, column).topLeft() + QPoint(1, 1));
    }
    // The device search list's look.
    void SearchLook() {
        list.SetRowHeight(19);
        list.SetHeaderHeight(1.7f);
        list.SetHeaderFontHW(15, 0);
        list.SetHeaderTextColor(QColor(255, 255, 255));
        list.SetTextColor(QColor(0, 0, 0));
        list.SetHeaderBKColor(159, 168, 176, 5);
        list.SetFontHW(14, 0);
    }
};

}   // namespace

TEST_F(ListCtrl, InsertColumnKeepsTextsAndAlignmentCodesWithTheirColumns) {
    EXPECT_EQ(list.InsertColumn(0, "Seq", CListCtrlCl::FmtLeft, 50), 0);
    EXPECT_EQ(list.InsertColumn(1, "IP Address", CListCtrlCl::FmtCenter, 140), 1);
    EXPECT_EQ(list.InsertColumn(5, "Port", CListCtrlCl::FmtRight, 60), 2);   // appended
    EXPECT_EQ(list.InsertColumn(3, "Other", 7), 3);                          // odd format: centre
    EXPECT_EQ(list.Header()->AlignCodes(), "0121");
    EXPECT_EQ(list.Header()->sectionSize(1), 140);

    list.InsertItem(0, "1");
    list.SetItemText(0, 1, "10.0.0.1");
    list.SetItemText(0, 2, "80");
    // A column put in the middle moves the later texts, codes and cells along.
    EXPECT_EQ(list.InsertColumn(1, "Version", CListCtrlCl::FmtRight), 1);
    EXPECT_EQ(list.Header()->ColumnTexts(), QStringList({"Seq", "Version", "IP Address", "Port", "Other"}));
    EXPECT_EQ(list.Header()->AlignCodes(), "02121");
    EXPECT_EQ(list.headerItem()->text(2), "IP Address");
    EXPECT_EQ(list.GetItemText(0, 2), "10.0.0.1");
    EXPECT_EQ(list.GetItemText(0, 3), "80");
    EXPECT_EQ(list.GetItemText(0, 1), "");

    EXPECT_FALSE(list.SetItemText(3, 0, "x"));   // no such row
    EXPECT_FALSE(list.SetItemText(0, 9, "x"));   // no such column
    EXPECT_EQ(list.InsertItem(10, "2"), 1);
    EXPECT_EQ(list.InsertItem(0, "0"), 0);
    EXPECT_EQ(list.GetItemText(2, 0), "2");
    EXPECT_EQ(list.GetItemCount(), 3);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ListCtrl, RowHeightIsMeasuredAgainAtOnce) {
    list.InsertColumn(0, "A", CListCtrlCl::FmtCenter, 100);
    for (int i = 0; i < 5; ++i) list.InsertItem(i, QString::number(i));
    Show();
    const int styleHeight = list.visualItemRect(list.topLevelItem(0)).height();
    EXPECT_GT(styleHeight, 0);

    list.SetRowHeight(19);
    EXPECT_EQ(list.visualItemRect(list.topLevelItem(0)).height(), 19);
    EXPECT_EQ(list.visualItemRect(list.topLevelItem(4)).top(),
              list.visualItemRect(list.topLevelItem(0)).top() + 4 * 19);
    list.SetRowHeight(33);
    EXPECT_EQ(list.visualItemRect(list.topLevelItem(2)).height(), 33);
    list.SetRowHeight(0);
    EXPECT_EQ(list.visualItemRect(list.topLevelItem(0)).height(), styleHeight);
}

TEST_F(ListCtrl, HeaderPaintsGradientTextAndScaledHeight) {
    list.InsertColumn(0, "Seq", CListCtrlCl::FmtCenter, 50);
    list.InsertColumn(1, "IP Address", CListCtrlCl::FmtCenter, 140);
    const int styleHeight = list.Header()->sizeHint().height();
    ASSERT_GT(styleHeight, 0);
    SearchLook();
    const int expected = int(styleHeight * 1.7f);
    EXPECT_EQ(list.Header()->sizeHint().height(), expected);
    Show();
    EXPECT_EQ(list.Header()->height(), expected);

    CHeaderCtrlCl* header = list.Header();
    const QImage img = HeaderImage();
    ASSERT_EQ(img.height(), expected);
    for (int y = 0; y < img.height(); ++y) {
        const QRgb want = qRgb(std::max(0, 159 - 5 * y), std::max(0, 168 - 5 * y), std::max(0, 176 - 5 * y));
        ASSERT_EQ(img.pixel(1, y), want) << "row " << y;                 // column 0
        ASSERT_EQ(img.pixel(60, y), want) << "row " << y;                // column 1
        ASSERT_EQ(img.pixel(img.width() - 2, y), want) << "row " << y;   // past the columns
    }
    // White text, centred in its column.
    const QRect column1(50, 0, 140, img.height());
    const QRect ink = InkBox(img, column1, [&](int y) { return header->GradientColorAt(y).rgb(); });
    ASSERT_TRUE(ink.isValid());
    EXPECT_LE(std::abs((ink.left() - column1.left()) - (column1.right() - ink.right())), 2);
    EXPECT_GT(CountPixels(img, column1, [](QColor c) { return c.red() > 230 && c.blue() > 230; }), 0);

    // The default start colour runs out at 0 instead of wrapping.
    CHeaderCtrlCl fresh;
    EXPECT_EQ(fresh.GradientColorAt(0), QColor(171, 199, 235));
    EXPECT_EQ(fresh.GradientColorAt(1), QColor(163, 191, 227));
    EXPECT_EQ(fresh.GradientColorAt(25), QColor(0, 0, 35));
    EXPECT_EQ(fresh.GradientColorAt(40), QColor(0, 0, 0));
}

TEST_F(ListCtrl, CellColoursFollowSelectionColumnThenCell) {
    for (int c = 0; c < 3; ++c) list.InsertColumn(c, QString("C%1").arg(c), CListCtrlCl::FmtCenter, 100);
    for (int r = 0; r < 3; ++r) list.InsertItem(r, "WWW");
    SearchLook();
    const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 200, 0);
    list.SetColColor(1, blue);
    list.SetItemColor(0, 1, red);
    list.SetItemColor(2, 2, green);
    list.SetColTextColor(1, QColor(255, 0, 255));
    list.SetItemTextColor(1, 1, QColor(0, 255, 255));
    list.SetItemText(1, 1, "WWW");
    Show();

    const QRgb base = list.palette().color(QPalette::Active, QPalette::Base).rgb();
    const QRgb highlight = list.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    QImage img = Cells();
    EXPECT_EQ(Corner(img, 0, 0), base);
    EXPECT_EQ(Corner(img, 0, 1), red.rgb());
    EXPECT_EQ(Corner(img, 1, 1), blue.rgb());
    EXPECT_EQ(Corner(img, 2, 2), green.rgb());
    // Cell text colour over column text colour over the list's.
    EXPECT_GT(
        CountPixels(img, CellRect(1, 1), [](QColor c) { return c.red() < 80 && c.green() > 150 && c.blue() > 150; }),
        0);
    EXPECT_EQ(CountPixels(img, CellRect(0, 0), [](QColor c) { return c.red() > 150 && c.green() < 100; }), 0);
    EXPECT_GT(CountPixels(img, CellRect(0, 0), [](QColor c) { return c.lightness() < 80; }), 0);

    // A selected row is highlighted whatever its cells' colours, its text in
    // yellow unless a column or cell names another colour.
    list.topLevelItem(2)->setSelected(true);
    list.SetItemText(2, 1, "WWW");
    QApplication::processEvents();
    img = Cells();
    EXPECT_EQ(Corner(img, 2, 2), highlight);
    EXPECT_EQ(Corner(img, 2, 1), highlight);
    EXPECT_GT(
        CountPixels(img, CellRect(2, 0), [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() < 80; }),
        0);
    EXPECT_EQ(list.CellTextColor(2, 0, true), QColor(255, 255, 0));
    EXPECT_EQ(list.CellTextColor(2, 1, true), QColor(255, 0, 255));
    EXPECT_EQ(list.CellTextColor(1, 1, true), QColor(0, 255, 255));
    EXPECT_EQ(Corner(img, 1, 1), blue.rgb());   // other rows unchanged

    // A later colour for the same cell replaces the earlier one.
    list.SetItemColor(0, 1, green);
    EXPECT_EQ(list.CellBackground(0, 1, false), green);
}

TEST_F(ListCtrl, AlignmentCodesPlaceCellAndHeaderText) {
    list.InsertColumn(0, "MMMM", CListCtrlCl::FmtLeft, 150);
    list.InsertColumn(1, "MMMM", CListCtrlCl::FmtCenter, 150);
    list.InsertColumn(2, "MMMM", CListCtrlCl::FmtRight, 150);
    list.InsertItem(0, "MMMM");
    list.SetItemText(0, 1, "MMMM");
    list.SetItemText(0, 2, "MMMM");
    SearchLook();
    Show();

    const QRgb base = list.palette().color(QPalette::Active, QPalette::Base).rgb();
    const QImage cells = Cells();
    const QImage head = HeaderImage();
    CHeaderCtrlCl* header = list.Header();
    for (int c = 0; c < 3; ++c) {
        const QRect cell = CellRect(0, c);
        const QRect ink = InkBox(cells, cell, [&](int) { return base; });
        const QRect section(header->sectionViewportPosition(c), 0, header->sectionSize(c), head.height());
        const QRect headInk = InkBox(head, section, [&](int y) { return header->GradientColorAt(y).rgb(); });
        ASSERT_TRUE(ink.isValid()) << c;
        ASSERT_TRUE(headInk.isValid()) << c;
        for (auto [box, area] : {std::pair{ink, cell}, std::pair{headInk, section}}) {
            const int leftGap = box.left() - area.left();
            const int rightGap = area.right() - box.right();
            if (c == 0) {
                EXPECT_GE(leftGap, 3);
                EXPECT_LE(leftGap, 5);
            } else if (c == 1) {
                EXPECT_LE(std::abs(leftGap - rightGap), 2);
            } else {
                EXPECT_GE(rightGap, 3);
                EXPECT_LE(rightGap, 6);
            }
            // Vertically within the row, roughly in its middle.
            EXPECT_GE(box.top(), area.top());
            EXPECT_LE(box.bottom(), area.bottom());
            EXPECT_LE(std::abs((box.top() - area.top()) - (area.bottom() - box.bottom())), 5);
        }
    }
}

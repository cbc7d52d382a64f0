// The device list's control; paint checked by shape, not pixel by pixel.
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

// Bounding box of the pixels in `area` that differ from the background of their row.
QRect InkBox(const QImage& img, const QRect& area, const std::function<QRgb(int)>& background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) != background(y)) box |= QRect(x, y, 1, 1);
    return box;
}

bool AnyPixel(const QImage& img, const QRect& area, const std::function<bool(QColor)>& pred) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pred(QColor(img.pixel(x, y)))) return true;
    return false;
}

struct ListCtrl : ::testing::Test {
    CListCtrlCl list;

    // Columns of the given formats, rows of "MMMM", the device search list's look.
    void Build(std::initializer_list<int> formats, int rows = 1) {
        int c = 0;
        for (int f : formats) list.InsertColumn(c++, "MMMM", f, 150);
        for (int r = 0; r < rows; ++r) {
            list.InsertItem(r, "MMMM");
            for (int i = 1; i < c; ++i) list.SetItemText(r, i, "MMMM");
        }
        list.SetRowHeight(19);
        list.SetHeaderHeight(1.7f);
        list.SetHeaderFontHW(15, 0);
        list.SetHeaderTextColor(QColor(255, 255, 255));
        list.SetTextColor(QColor(0, 0, 0));
        list.SetHeaderBKColor(159, 168, 176, 5);
        list.SetFontHW(14, 0);
    }
    void Show() {
        list.resize(600, 240);
        list.show();
        QApplication::processEvents();
    }
    static QImage Grab(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRect CellRect(int row, int column) { return list.visualRect(list.model()->index(row, column)); }
};

}   // namespace

TEST_F(ListCtrl, InsertColumnKeepsTextsAndAlignmentCodesWithTheirColumns) {
    EXPECT_EQ(list.InsertColumn(0, "Seq", CListCtrlCl::FmtLeft, 50), 0);
    EXPECT_EQ(list.InsertColumn(1, "IP Address", CListCtrlCl::FmtCenter, 140), 1);
    EXPECT_EQ(list.InsertColumn(5, "Port", CListCtrlCl::FmtRight, 60), 2);   // appended
    EXPECT_EQ(list.InsertColumn(3, "Other", 7), 3);                          // odd format: centre
    EXPECT_EQ(list.Header()->AlignCodes(), "0121");
    list.InsertItem(0, "1");
    list.SetItemText(0, 1, "10.0.0.1");
    list.SetItemText(0, 2, "80");
    // A column put in the middle moves the later texts, codes and cells along.
    EXPECT_EQ(list.InsertColumn(1, "Version", CListCtrlCl::FmtRight), 1);
    EXPECT_EQ(list.Header()->ColumnTexts(), QStringList({"Seq", "Version", "IP Address", "Port", "Other"}));
    EXPECT_EQ(list.Header()->AlignCodes(), "02121");
    EXPECT_EQ(list.headerItem()->text(2), "IP Address");
    EXPECT_EQ(list.Header()->sectionSize(2), 140);
    EXPECT_EQ(list.GetItemText(0, 1) + "|" + list.GetItemText(0, 2) + "|" + list.GetItemText(0, 3), "|10.0.0.1|80");

    EXPECT_FALSE(list.SetItemText(3, 0, "x"));   // no such row
    EXPECT_FALSE(list.SetItemText(0, 9, "x"));   // no such column
    EXPECT_EQ(list.InsertItem(10, "2"), 1);
    EXPECT_EQ(list.InsertItem(0, "0"), 0);
    EXPECT_EQ(list.GetItemText(2, 0), "2");
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ListCtrl, RowHeightIsMeasuredAgainAtOnce) {
    list.InsertColumn(0, "A", CListCtrlCl::FmtCenter, 100);
    for (int i = 0; i < 5; ++i) list.InsertItem(i, QString::number(i));
    Show();
    auto row = [&](int i) { return list.visualItemRect(list.topLevelItem(i)); };
    const int styleHeight = row(0).height();
    list.SetRowHeight(19);
    EXPECT_EQ(row(4).top(), row(0).top() + 4 * 19);
    list.SetRowHeight(33);
    EXPECT_EQ(row(2).height(), 33);
    list.SetRowHeight(0);
    EXPECT_EQ(row(0).height(), styleHeight);
}

TEST_F(ListCtrl, SelectionThenCellThenColumnColoursWin) {
    Build({CListCtrlCl::FmtCenter, CListCtrlCl::FmtCenter, CListCtrlCl::FmtCenter}, 3);
    const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 200, 0), magenta(255, 0, 255), cyan(0, 255, 255);
    list.SetColColor(1, blue);
    list.SetItemColor(0, 1, red);
    list.SetItemColor(2, 2, green);
    list.SetColTextColor(1, magenta);
    list.SetItemTextColor(1, 1, cyan);
    list.topLevelItem(2)->setSelected(true);
    Show();
    const QImage img = Grab(list.viewport());
    const QColor base = list.palette().color(QPalette::Active, QPalette::Base),
                 highlight = list.palette().color(QPalette::Active, QPalette::Highlight);
    for (auto [row, column, want] :
         {std::tuple{0, 0, base}, {0, 1, red}, {1, 1, blue}, {2, 1, highlight}, {2, 2, highlight}})
        EXPECT_EQ(img.pixel(CellRect(row, column).topLeft() + QPoint(1, 1)), want.rgb()) << row << "," << column;
    // Text: cell over column over the list's; a selected row's in the
    // style's highlighted-text colour unless a column or cell names another.
    EXPECT_TRUE(
        AnyPixel(img, CellRect(1, 1), [](QColor c) { return c.red() < 80 && c.green() > 150 && c.blue() > 150; }));
    EXPECT_TRUE(AnyPixel(img, CellRect(0, 0), [](QColor c) { return c.lightness() < 80; }));
    const QColor selectedText = list.palette().color(QPalette::Active, QPalette::HighlightedText);
    EXPECT_TRUE(AnyPixel(img, CellRect(2, 0), [&](QColor c) { return c == selectedText; }));
    EXPECT_EQ(list.CellTextColor(2, 1, true), magenta);
    EXPECT_EQ(list.CellTextColor(1, 1, true), cyan);
    list.SetItemColor(0, 1, green);   // a later colour for the same cell replaces the earlier one
    EXPECT_EQ(list.CellBackground(0, 1, false), green);
}

TEST_F(ListCtrl, AlignmentCodesPlaceTextAndTheScaledHeaderDarkensDownwards) {
    CListCtrlCl plain;
    plain.InsertColumn(0, "Seq", CListCtrlCl::FmtCenter, 50);
    Build({CListCtrlCl::FmtLeft, CListCtrlCl::FmtCenter, CListCtrlCl::FmtRight});
    Show();
    EXPECT_EQ(list.Header()->height(), int(plain.Header()->sizeHint().height() * 1.7f));
    const QRgb base = list.palette().color(QPalette::Active, QPalette::Base).rgb();
    const QImage cells = Grab(list.viewport()), head = Grab(list.Header()->viewport());
    // Each line of the header one colour, across the columns and past them,
    // darker than the line above; the default start colour runs out at 0
    // instead of wrapping.
    EXPECT_EQ(head.pixel(1, 0), qRgb(159, 168, 176));
    for (int y = 1; y < head.height(); ++y) {
        for (int x : {151, head.width() - 2}) ASSERT_EQ(head.pixel(x, y), head.pixel(1, y)) << x << "," << y;
        ASSERT_LT(qGray(head.pixel(1, y)), qGray(head.pixel(1, y - 1))) << y;
    }
    EXPECT_EQ(CHeaderCtrlCl().GradientColorAt(40), QColor(0, 0, 0));
    CHeaderCtrlCl* header = list.Header();
    for (int c = 0; c < 3; ++c) {
        const QRect cell = CellRect(0, c);
        const QRect section(header->sectionViewportPosition(c), 0, header->sectionSize(c), head.height());
        const std::pair<QRect, QRect> placed[] = {
            {InkBox(cells, cell, [&](int) { return base; }), cell},
            {InkBox(head, section, [&](int y) { return header->GradientColorAt(y).rgb(); }), section}};
        for (auto [box, area] : placed) {
            ASSERT_TRUE(box.isValid()) << c;
            const int left = box.left() - area.left(), right = area.right() - box.right();
            const bool placedWell = c == 0   ? left >= 3 && left <= 5
                                    : c == 1 ? std::abs(left - right) <= 2
                                             : right >= 3 && right <= 6;
            EXPECT_TRUE(placedWell) << c << ": gaps " << left << ", " << right;
            // Vertically within the row, roughly in its middle.
            EXPECT_TRUE(area.contains(box)) << c;
            EXPECT_LE(std::abs((box.top() - area.top()) - (area.bottom() - box.bottom())), 5) << c;
        }
        EXPECT_TRUE(AnyPixel(head, section, [](QColor t) { return t.red() > 230 && t.blue() > 230; })) << "white";
    }
}

#pragma once
// Report-style list drawn by the tool itself: gradient header (CHeaderCtrlCl),
// rows of a fixed height, per-column alignment and optional per-column and
// per-cell text and background colours. Rows are top-level items of the tree
// widget; the QTreeWidget API (signals, current item) stays available.
#include <QColor>
#include <QFont>
#include <QString>
#include <QTreeWidget>

#include <map>
#include <optional>
#include <utility>

#include "gui/controls/HeaderCtrlCl.h"

class CListCtrlCl : public QTreeWidget {
    Q_OBJECT
public:
    // Column formats, with the values of the classic list-control constants.
    enum ColumnFormat { FmtLeft = 0, FmtRight = 1, FmtCenter = 2 };

    explicit CListCtrlCl(QWidget* parent = nullptr);

    CHeaderCtrlCl* Header() const { return m_header; }

    // Inserts a column at `index` (appended when beyond the last) and records
    // its text and alignment code in the header: FmtLeft gives '0', FmtCenter
    // '1', FmtRight '2', any other format '1'. width < 0 keeps the default.
    // Returns the column's index.
    int InsertColumn(int index, const QString& text, int format = FmtLeft, int width = -1);
    static QChar AlignCodeForFormat(int format);

    // Rows. InsertItem puts a row with `text` in column 0 at `row` (appended
    // when beyond the last) and returns its index.
    int InsertItem(int row, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    int GetItemCount() const { return topLevelItemCount(); }
    void DeleteAllItems();

    // Row height in pixels; 0 or less keeps the style's own. Rows are
    // measured again at once.
    void SetRowHeight(int height);
    int RowHeight() const { return m_rowHeight; }

    // Header look, passed on to CHeaderCtrlCl.
    void SetHeaderBKColor(int r, int g, int b, int step);
    void SetHeaderHeight(float scale);
    void SetHeaderFontHW(int height, int width);
    void SetHeaderTextColor(const QColor& color);

    // Cell look.
    void SetTextColor(const QColor& color);
    QColor TextColor() const { return m_textColor; }
    void SetFontHW(int height, int width);
    int FontHeight() const { return m_fontHeight; }
    int FontWidth() const { return m_fontWidth; }
    const QFont& CellFont() const { return m_font; }

    // Optional colours; a later call for the same column or cell replaces the
    // earlier one. Cell entries name a row index, not a row object.
    void SetColColor(int column, const QColor& background);
    void SetColTextColor(int column, const QColor& text);
    void SetItemColor(int row, int column, const QColor& background);
    void SetItemTextColor(int row, int column, const QColor& text);

    // Drawn in the middle of the list while it has no rows ("" none).
    void SetEmptyText(const QString& text);
    QString EmptyText() const { return m_emptyText; }

    // The colours a cell is painted with in its current state.
    QColor CellBackground(int row, int column, bool selected) const;
    QColor CellTextColor(int row, int column, bool selected) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    using CellKey = std::pair<int, int>;   // row, column

    CHeaderCtrlCl* m_header = nullptr;
    int m_rowHeight = 0;
    QColor m_textColor{0, 0, 0};
    int m_fontHeight = 12;
    int m_fontWidth = 0;
    QFont m_font;
    QString m_emptyText;
    std::map<int, QColor> m_colBack;
    std::map<int, QColor> m_colText;
    std::map<CellKey, QColor> m_cellBack;
    std::map<CellKey, QColor> m_cellText;
};

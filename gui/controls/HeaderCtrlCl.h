#pragma once
// Header of CListCtrlCl: every section is filled with a vertical gradient
// (one colour per pixel row, darkening by a fixed step) and its text is drawn
// in a font and colour of the header's own, aligned per column.
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QString>
#include <QStringList>

class QPainter;

namespace ky {

// A font given the way the tool's controls state it: `height` > 0 is the
// character cell height in pixels (ascent + descent), < 0 the em height, 0 the
// default size; `width` > 0 is the average character width (0 keeps the
// natural width). The first family that is installed is used.
QFont MakeControlFont(const QStringList& families, int height, int width, int weight = QFont::Normal);

// The family list of the list and header texts (SimSun, under either name).
QStringList ListFontFamilies();

// Column alignment codes as the header keeps them, one per column.
inline constexpr char kAlignLeft = '0';
inline constexpr char kAlignCenter = '1';
inline constexpr char kAlignRight = '2';

// Draws one line of text in `cell` the way header sections and list cells
// share: left text starts 3 pixels in, right text ends 3 pixels in, centred
// text is centred; vertically the box is moved down by half the difference
// between its height and the text height.
void DrawAlignedText(QPainter& p, const QRect& cell, QChar alignCode, const QString& text, const QFont& font,
                     const QColor& color);

}   // namespace ky

class CHeaderCtrlCl : public QHeaderView {
    Q_OBJECT
public:
    explicit CHeaderCtrlCl(QWidget* parent = nullptr);

    // Column bookkeeping, kept by CListCtrlCl::InsertColumn: the text and
    // alignment code go in at the column's own position.
    void InsertColumnText(int index, const QString& text, QChar alignCode);
    void ClearColumnTexts();
    const QStringList& ColumnTexts() const { return m_texts; }
    const QString& AlignCodes() const { return m_alignCodes; }
    // The code of a column; columns that were never inserted read as left.
    QChar AlignCode(int column) const;

    // Colour of the top pixel row and the amount taken off R, G and B per row.
    void SetBkColor(int r, int g, int b, int step);
    // Factor on the height the style computes; the result is truncated.
    void SetHeight(float scale);
    void SetFontHW(int height, int width);
    void SetTextColor(const QColor& color);

    QColor StartColor() const { return QColor(m_r, m_g, m_b); }
    int GradientStep() const { return m_step; }
    float HeightScale() const { return m_heightScale; }
    int FontHeight() const { return m_fontHeight; }
    int FontWidth() const { return m_fontWidth; }
    QColor TextColor() const { return m_textColor; }
    const QFont& TextFont() const { return m_font; }

    // Colour of pixel row `row` (0 = top) of every section.
    QColor GradientColorAt(int row) const;

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FillGradient(QPainter& p, const QRect& rect) const;
    void Changed();

    QStringList m_texts;
    QString m_alignCodes;
    int m_r = 171;
    int m_g = 199;
    int m_b = 235;
    int m_step = 8;
    float m_heightScale = 1.0f;
    int m_fontHeight = 15;
    int m_fontWidth = 0;
    QColor m_textColor{0, 0, 0};
    QFont m_font;
};

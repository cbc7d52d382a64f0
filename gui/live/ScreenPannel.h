#pragma once
// The video panel: 36 video windows laid out as an N x N grid (layouts 1 to
// 6) or as one large window with five (layout 16) or seven (layout 18) small
// ones. The active window has a magenta frame. A double click toggles
// between the layout and the active window enlarged over the whole panel.
#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>

class CVideoWnd;

class CScreenPannel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWindows = 36;
    static inline const QColor kBackground{81, 117, 148};
    static inline const QColor kActiveFrame{255, 0, 255};

    explicit CScreenPannel(QWidget* parent = nullptr);

    CVideoWnd* Window(int index) const;
    int ActiveWindow() const { return m_active; }
    void SetActiveWindow(int index);

    // 1..6 (grids) or 16, 18; other values are refused.
    bool SetLayoutKind(int layout);
    int LayoutKind() const { return m_layout; }
    bool Enlarged() const { return m_enlarged; }
    void SetEnlarged(bool on);

    // Where window `index` goes in a panel of `size`; a null rectangle when
    // the layout does not show it.
    static QRect WindowRect(int layout, int index, QSize size);
    static int WindowCount(int layout);

    // Who hears 1124, 1127, 1128, 1129, 1130 and 4028 (the live-video dialog).
    void SetNotifyTarget(QObject* target) { m_target = target; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LayOut();
    void PassOn(QEvent* event);

    std::array<CVideoWnd*, kWindows> m_windows{};
    int m_layout = 1;
    int m_active = 0;
    bool m_enlarged = false;
    QObject* m_target = nullptr;
};

#pragma once
// One video window of the panel: a title strip (green text and the state
// marks for recording, talking and listening) above the render surface.
#include <QString>
#include <QWidget>

class CPlayWnd;
class QPainter;

// The state marks beside the title, drawn in code.
enum class StateMark { Recording, Talking, Listening };
void DrawStateMark(QPainter& painter, const QRect& box, StateMark mark);

class CVideoWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTitleHeight = 20;

    explicit CVideoWnd(int index, QWidget* parent = nullptr);

    int Index() const { return m_index; }
    CPlayWnd* PlayWnd() const { return m_play; }

    // Repaints only when something changed.
    void SetTitle(const QString& title);
    void SetMarks(bool recording, bool talking, bool listening);
    // Seconds a recording has run, shown as "REC mm:ss" after its mark
    // (-1: no time shown).
    void SetRecordSeconds(qint64 seconds);
    // The recording time as drawn ("" when none).
    QString RecordText() const;
    QString Title() const { return m_title; }
    bool RecordingMark() const { return m_recording; }
    bool TalkingMark() const { return m_talking; }
    bool ListeningMark() const { return m_listening; }
    // Title-strip repaints asked for so far.
    int TitleUpdates() const { return m_titleUpdates; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateTitle();

    const int m_index;
    CPlayWnd* m_play;
    QString m_title;
    bool m_recording = false, m_talking = false, m_listening = false;
    qint64 m_recordSeconds = -1;
    int m_titleUpdates = 0;
};

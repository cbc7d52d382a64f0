#pragma once
// The shape every camera parameter page shares. Selecting the page reads it
// from the logged-in camera (no camera: cleared controls); "Apply" reads the
// controls into a record, validates in the page's order showing the first
// failing rule's message, writes, and reports the result.
//
// Threads. Controls, validation and every message belong to the window
// thread. The camera exchanges of a read or a write run on a worker (Start):
// the connection values are taken on the window thread when the exchange
// starts, the worker runs the commands and returns a function that the
// window thread runs with the results, unless the page is gone by then. An
// exchange never touches the page or a widget. While one runs the page shows
// a busy cursor, its Apply buttons are off and a second Apply is ignored.
//
// A page of one record read by one command and written by another derives
// from CRecordPage<Rec> and supplies ShowRecord, ReadControls and
// ClearControls. Other pages derive from CCameraPage and override Load and
// Apply.
//
// A read that fails clears the page; a write that fails leaves what the user
// typed. Either way a line on top of the page says what failed, against
// which camera and when, until the next exchange starts.
#include <QEvent>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "gui/kit/SettingsPage.h"
#include "gui/kit/WorkerLink.h"

class QAbstractButton;
class QBoxLayout;
class QLabel;
class QPushButton;

// The four connection values of the current camera.
struct CameraTarget {
    std::string ip;
    uint16_t port = 0;
    std::string user;
    std::string password;
};

// Result of a long worker, posted to its page (SD-card format, upgrade,
// Wi-Fi test): the event type is the message number, result the first
// parameter.
class CPageResultEvent : public QEvent {
public:
    CPageResultEvent(int message, int result) : QEvent(static_cast<QEvent::Type>(message)), m_result(result) {}
    int Result() const { return m_result; }

private:
    int m_result;
};

class CCameraPage : public CSettingsPage {
    Q_OBJECT
public:
    static constexpr int kReplyTimeoutMs = 3000;

    template <class Rec>
    using Command = int (CCgiClient::*)(const char* ip, uint16_t port, const char* user, const char* password, Rec* rec,
                                        int timeoutMs);
    // Runs on the window thread with what the exchange found.
    using Done = std::function<void()>;
    // Runs on a worker: camera commands only, no page and no widget.
    using Exchange = std::function<Done(const CameraTarget& camera)>;

    // section: the language-file section of the page's messages.
    explicit CCameraPage(QWidget* parent = nullptr, const char* section = "CONFIG");
    ~CCameraPage() override;

    // Not logged in: ClearControls; otherwise Load.
    void RefreshFromDevice() override;

    static bool LoggedIn();
    // From the current device: IP text, port text as atoi, user, password.
    static CameraTarget Target();

    // One command against camera (on a worker); 0 or -1 as the command returns.
    template <class Rec>
    static int Call(const CameraTarget& camera, Command<Rec> command, Rec* rec, int timeoutMs = kReplyTimeoutMs) {
        CCgiClient client;
        return (client.*command)(camera.ip.c_str(), camera.port, camera.user.c_str(), camera.password.c_str(), rec,
                                 timeoutMs);
    }

    const char* Section() const { return m_section; }
    // An exchange of this page is running.
    bool Busy() const { return m_busy; }
    // The failed read or write line; empty while hidden.
    QString ErrorLine() const;

public slots:
    // The page's "Apply": ignored while busy; not logged in clears;
    // otherwise Apply().
    void OnApply();

signals:
    // An exchange ended and its result is shown, and no other has started.
    void exchangeDone();

protected:
    enum class Outcome {
        Succeeded,   // "Parameter setting succeeded!"
        Failed,      // "Parameter setting failed!"
        Cleared,     // the write failed without a message of its own
        Stopped,     // nothing more to show
    };
    enum class Failure { Read, Write };

    // Starts the page's read: an exchange whose result shows the values or
    // clears the controls. Runs only while logged in.
    virtual void Load() = 0;
    virtual void ClearControls() = 0;
    // Reads the controls and validates; then Refuse or Write. Runs only
    // while logged in and not busy.
    virtual void Apply() {}

    // Runs exchange on a worker; false (and nothing runs) while another
    // exchange of this page runs.
    bool Start(Exchange exchange);
    // The usual read: get into a record (preset first), then show it, or
    // clear the controls and show the failed-read line.
    template <class Rec>
    void LoadRecord(Command<Rec> get, std::function<void(const Rec&)> show, Rec preset = Rec{}) {
        Start([this, get, show = std::move(show), rec = preset](const CameraTarget& camera) mutable -> Done {
            const bool ok = Call(camera, get, &rec) == 0;
            return [this, ok, rec, show, camera] {
                if (ok) return show(rec);
                ClearControls();
                ShowFailure(Failure::Read, camera);
            };
        });
    }
    // The line of a failed read or write against camera.
    void ShowFailure(Failure what, const CameraTarget& camera);
    // A read that failed: cleared controls and the line.
    void ReadFailed(const CameraTarget& camera) {
        ClearControls();
        ShowFailure(Failure::Read, camera);
    }
    // The write of an Apply: runs on a worker, and its outcome is reported.
    bool Write(std::function<Outcome(const CameraTarget& camera)> write);
    // Shows an outcome: its message, or cleared controls.
    void Report(Outcome outcome);

    // Shows key (none for nullptr or ""): a refused Apply.
    void Refuse(const char* key);
    // Message box with key translated through the page's section.
    void Message(const char* key);
    // Yes/No question; true for Yes.
    bool Ask(const char* key);
    // Translates the page and the given containers (group boxes nest controls).
    void Translate(std::initializer_list<QWidget*> containers = {});
    // Connects button to OnApply; it is off while an exchange runs.
    void AddApplyButton(QAbstractButton* button);
    // Adds the page's "Apply" (control 1, the default button, registered
    // through AddApplyButton) and "Cancel" (control 2) row to column; returns
    // Cancel, whose action is the page's.
    QPushButton* AddApplyRow(QBoxLayout* column);
    // w is off while an exchange runs.
    void LockWhileBusy(QWidget* w);

private:
    void SetBusy(bool on);
    void Finish(const Done& done);
    // Written failures still to be shown (the write's camera).
    void Report(Outcome outcome, const CameraTarget& camera);

    const char* m_section;
    CWorkerLink m_worker{this};
    bool m_busy = false;
    std::vector<QPointer<QWidget>> m_locked;
    QLabel* m_failure = nullptr;
};

template <class Rec>
class CRecordPage : public CCameraPage {
public:
    // set may be null for a read-only page.
    CRecordPage(QWidget* parent, const char* section, Command<Rec> get, Command<Rec> set)
        : CCameraPage(parent, section), m_get(get), m_set(set) {}

protected:
    virtual void ShowRecord(const Rec& rec) = 0;
    // Fills rec (zero-filled) from the controls and validates it: nullptr
    // when it may be sent, else the first failing rule's message ("" to stop
    // without one).
    virtual const char* ReadControls(Rec& rec) = 0;
    // Sets up a zero-filled record before a read or write (e.g. a selector).
    virtual void Preset(Rec& rec) { (void)rec; }

    void Load() override {
        Rec rec{};
        Preset(rec);
        LoadRecord<Rec>(
            m_get, [this](const Rec& shown) { ShowRecord(shown); }, rec);
    }
    void Apply() override {
        Rec rec{};
        Preset(rec);
        if (const char* refused = ReadControls(rec)) return Refuse(refused);
        if (!m_set) return;
        Write([set = m_set, rec, failure = m_writeFailure](const CameraTarget& camera) mutable {
            return Call(camera, set, &rec) == 0 ? Outcome::Succeeded : failure;
        });
    }

    // Writes rec; on success shows it as written with "Parameter setting
    // succeeded!", on failure shows the failed-write line.
    void WriteAndShow(Rec rec) {
        Start([this, set = m_set, rec](const CameraTarget& camera) mutable -> Done {
            const bool ok = Call(camera, set, &rec) == 0;
            return [this, ok, rec, camera] {
                if (!ok) return ShowFailure(Failure::Write, camera);
                ShowRecord(rec);
                Report(Outcome::Succeeded);
            };
        });
    }

    // What a failed write shows: Failed (the message) or Cleared.
    Outcome m_writeFailure = Outcome::Failed;

private:
    Command<Rec> m_get;
    Command<Rec> m_set;
};

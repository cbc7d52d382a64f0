#pragma once
// The shape every camera parameter page shares. Selecting the page reads it
// from the logged-in camera (no camera: cleared controls); "Apply" reads the
// controls into a record, validates in the page's order showing the first
// failing rule's message, writes, and reports the result. Every exchange
// runs on the GUI thread and blocks it (1 s connect + the reply time-out);
// the connection values are taken from CurrentCamera() right before each one.
//
// A page of one record read by one command and written by another derives
// from CRecordPage<Rec> and supplies ShowRecord, ReadControls and
// ClearControls. Pages with several records derive from CCameraPage and
// override Load and Apply.
#include <QEvent>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "gui/kit/SettingsPage.h"
#include "core/cgi/CgiClient.h"

// The four connection values of the current camera.
struct CameraTarget {
    std::string ip;
    uint16_t port = 0;
    std::string user;
    std::string password;
};

// Result of a worker, posted to its page (SD-card format, upgrade, Wi-Fi
// test): the event type is the message number, result the first parameter.
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

    // section: the language-file section of the page's messages.
    explicit CCameraPage(QWidget* parent = nullptr, const char* section = "CONFIG");

    // Not logged in, or a failed Load: ClearControls.
    void RefreshFromDevice() override;

    static bool LoggedIn();
    // From the current device: IP text, port text as atoi, user, password.
    static CameraTarget Target();

    // One command against the current camera; 0 or -1 as the command returns.
    template <class Rec>
    static int Run(Command<Rec> command, Rec* rec, int timeoutMs = kReplyTimeoutMs) {
        const CameraTarget t = Target();
        CCgiClient client;
        return (client.*command)(t.ip.c_str(), t.port, t.user.c_str(), t.password.c_str(), rec, timeoutMs);
    }

    const char* Section() const { return m_section; }

public slots:
    // The page's "Apply": not logged in clears; otherwise Apply() and its report.
    void OnApply();

protected:
    enum class Outcome {
        Succeeded,   // "Parameter setting succeeded!"
        Failed,      // "Parameter setting failed!"
        Cleared,     // the page is cleared without a message
        Stopped,     // nothing sent (a validation message was shown, or none is due)
    };

    // Reads the page from the camera and shows it; false clears the page.
    virtual bool Load() = 0;
    virtual void ClearControls() = 0;
    // Reads the controls, validates, writes; runs only while logged in.
    virtual Outcome Apply() { return Outcome::Stopped; }

    // Shows key (none for nullptr or "") and stops the apply.
    Outcome Refuse(const char* key);
    // Message box with key translated through the page's section.
    void Message(const char* key);
    // Yes/No question; true for Yes.
    bool Ask(const char* key);
    // Translates the page and the given containers (group boxes nest controls).
    void Translate(std::initializer_list<QWidget*> containers = {});

private:
    const char* m_section;
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

    bool Load() override {
        Rec rec{};
        Preset(rec);
        if (Run(m_get, &rec) != 0) return false;
        ShowRecord(rec);
        return true;
    }
    Outcome Apply() override {
        Rec rec{};
        Preset(rec);
        if (const char* refused = ReadControls(rec)) return Refuse(refused);
        if (!m_set) return Outcome::Stopped;
        return Run(m_set, &rec) == 0 ? Outcome::Succeeded : m_writeFailure;
    }

    // What a failed write shows: Failed (the message) or Cleared.
    Outcome m_writeFailure = Outcome::Failed;

private:
    Command<Rec> m_get;
    Command<Rec> m_set;
};

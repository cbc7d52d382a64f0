#pragma once
// Snapshots and local recordings of the live view: where their files go and
// what they are called, and the worker that takes one snapshot.
//
// Files of one camera go to a sub-folder named after its IP text:
//   <SnapFiles>/<ip>/Snap_YYYYMMDD-hhmmss_N.jpg   (N: the snapshot counter)
//   <RecFiles>/<ip>/RecFile_YYYYMMDD-hhmmss.avi
// with the PC's local time.
#include <QEvent>
#include <ctime>
#include <string>

#include "core/services/KyThread.h"
#include "core/discovery/SearchProto.h"
#include "core/sdk/KySdk.h"

class QObject;

// The snapshot counter: one for the whole program, set to 0 whenever a
// connection is started (play panel or search list), advanced once per
// snapshot name. Thread-safe, so snapshots taken at once never share a name.
void ResetSnapCounter();
int NextSnapCounter();

// "Snap_%04d%02d%02d-%02d%02d%02d_%d.jpg" / "RecFile_%04d%02d%02d-%02d%02d%02d.avi".
std::string SnapFileName(const std::tm& local, int counter);
std::string RecFileName(const std::tm& local);
std::tm LocalNow();

// base + "/" + the camera's IP text, created with its parents when missing.
// The IP text came from the form or from a camera's search reply; anything
// that would lead out of the base folder is neutralised ('/' becomes '_',
// "." and ".." and an empty text become "_").
std::string CameraFolder(const std::string& base, const char* ip);
std::string CameraFolderName(const char* ip);

// Takes one JPEG snapshot of the live view on its own thread and then posts
// CSnapDoneEvent (message 2024) to its owner, which waits for the thread to
// end, deletes the worker and shows Result() when it is not empty.
class CSnapThread : public CKyThread {
public:
    // owner receives the event; handle is the live view's login at the click.
    CSnapThread(QObject* owner, const DeviceRecord& device, KY_HANDLE handle);
    ~CSnapThread() override;

    unsigned Run() override;

    // Empty on success (and without a login); otherwise the translated
    // "Capture failed". Read after the thread has ended.
    const std::string& Result() const { return m_result; }
    // The file the snapshot went to (empty without a login).
    const std::string& Path() const { return m_path; }
    const DeviceRecord& Device() const { return m_device; }

private:
    DeviceRecord m_device;
    KY_HANDLE m_handle;
    std::string m_result;
    std::string m_path;
};

// Message 2024: a snapshot worker has finished; carries the worker.
class CSnapDoneEvent : public QEvent {
public:
    explicit CSnapDoneEvent(CSnapThread* worker);
    CSnapThread* Worker() const { return m_worker; }

private:
    CSnapThread* m_worker;
};

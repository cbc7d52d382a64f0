#pragma once
// The base of the pages that edit rectangles on the camera's live picture
// (motion-detection areas, privacy masks). The page runs a preview of its
// own: an SDK login made on a worker, then the live picture in a render
// surface inside the page. Rectangles are drawn on the SDK's drawing layer
// in picture coordinates; the user's presses and drags on the picture go to
// the SDK's rectangle editing, and every edited rectangle comes back through
// the SDK's region callback as OnRegionEdited.
//
// The surface letterboxes the picture and reports positions relative to the
// picture's own area, and its size as the view the SDK maps from, so a
// window position becomes the picture point under it at any page size.
// Positions outside the picture are pulled to its edge: a rectangle dragged
// out of the picture stops at the picture's border.
#include <QRect>
#include <memory>
#include <vector>

#include "core/sdk/KySdk.h"
#include "gui/pages/CameraPage.h"

class CPlayWnd;

class CRegionEditorPage : public CCameraPage {
    Q_OBJECT
public:
    ~CRegionEditorPage() override;

    // Stops the live picture and logs the preview out.
    void StopPreview() override;
    // Not logged in: no preview either.
    void RefreshFromDevice() override;

    CPlayWnd* View() const { return m_view; }
    // A preview is open (its login made and its picture playing).
    bool PreviewOpen() const { return m_preview != nullptr; }
    // The first picture of the preview arrived and the rectangles are drawn.
    bool PictureReady() const { return m_pictureReady; }
    KY_HANDLE PreviewHandle() const;

    // One rectangle to draw: its number names it ("%d").
    struct Region {
        int number;
        QRect rect;   // picture coordinates; x, y, width, height
        bool visible;
    };
    static constexpr uint32_t kGreen = 0x00FF00;   // 0x00BBGGRR

protected:
    // The SDK login of a preview; logs out (stopping the picture) when the
    // last holder lets go, also when a worker's result is never shown.
    struct Login {
        KY_HANDLE handle = 0;
        ~Login();
    };
    using LoginPtr = std::shared_ptr<Login>;
    static constexpr int kLoginTimeoutMs = 5000;

    CRegionEditorPage(QWidget* parent, const char* section);

    // The open preview's login (null without one), for a worker that must
    // keep it while it runs.
    LoginPtr PreviewLogin() const { return m_preview; }
    // On a worker: logs in with the camera's credentials; null on failure.
    static LoginPtr OpenLogin(const CameraTarget& camera);
    // On the window thread: sets the callbacks and the display mode and
    // starts the first stream into the view. A failed login shows "Login
    // device failed!", a failed start "Failed to connect the device!"; both
    // leave the page without a preview (false).
    bool StartPreview(LoginPtr login);

    // Replaces one layer of the drawing with regions, with pen width pen.
    // Regions with a zero width or height are left out when skipEmpty.
    bool DrawRegions(const std::vector<Region>& regions, int32_t layer, int pen, bool skipEmpty);
    // Switches the SDK's editing of a region on or off.
    void EnableEditing(int number, bool on);

    // Window thread: the SDK reports an edited rectangle (right and bottom
    // exclusive) under the name it was drawn with.
    virtual void OnRegionEdited(const QString& name, const QRect& rect) = 0;
    // The first picture arrived: its size is known (PictureWidth/Height).
    virtual void OnPictureReady() {}
    // Motion boxes (five-word records) reported by the SDK's message callback.
    virtual void OnMotionBoxes(const std::vector<int32_t>& words) { (void)words; }
    // Whether mouse actions go to the SDK's editing now.
    virtual bool EditingActive() const { return true; }

    int PictureWidth() const { return m_picWidth; }
    int PictureHeight() const { return m_picHeight; }

    bool event(QEvent* e) override;
    // Leaving the page (not a minimised window) ends the preview; showing
    // it again reads the page anew.
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    static int OnDraw(KY_HANDLE handle, int32_t left, int32_t top, int32_t right, int32_t bottom, const char* name,
                      void* user);
    static int OnMessage(KY_HANDLE handle, int32_t type, intptr_t p1, intptr_t p2, void* user);
    void OnFrameShown();
    // A view position pulled into the picture's area.
    QPoint InPicture(QPoint pos) const;

    CPlayWnd* m_view = nullptr;
    LoginPtr m_preview;
    bool m_pictureReady = false;
    bool m_stoppedByHide = false;
    bool m_held = false;
    KY_RECT m_window{0, 0, 0, 0};
    int m_picWidth = 0;
    int m_picHeight = 0;
};

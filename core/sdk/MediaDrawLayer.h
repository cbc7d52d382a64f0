#pragma once
// The drawing layer of one login: named rectangles in picture coordinates,
// grouped by layer number, painted over every decoded picture, and edited
// with the mouse (select at a point, then move or resize while the button is
// held). Thread-safe: the player thread paints while the caller's thread
// edits.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/sdk/KySdk.h"

namespace ky::sdk {

struct DrawRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const DrawRect&) const = default;
};

// The rectangle an edit produced, for the caller's draw callback.
struct DrawEdit {
    DrawRect rect;
    std::string name;
};

class DrawLayer {
public:
    // Layer whose rectangles are editable unless EnablePic turned them off;
    // every other layer (detection boxes, display copies) is editable only by
    // name after EnablePic(..., 1, layer).
    static constexpr int32_t kEditLayer = 1;
    static constexpr int kMaxItems = 256;
    static constexpr int kMaxLayers = 32;
    static constexpr int kMaxPenWidth = 64;

    // Clamped to 1..kMaxPenWidth; false for a width below 1.
    bool SetPenWidth(int32_t width);
    int PenWidth() const;

    // Replaces the items of one layer (count 0 clears it). False on a bad
    // count or a null array with a positive count.
    bool SetItems(const KY_DRAW_ITEM* items, int count, int32_t layer);
    // Switches editing of the named rectangle(s) of a layer; names compare
    // without regard to ASCII case. Remembered for items drawn later.
    bool EnableEditing(const char* name, bool on, int32_t layer);

    // Picks the topmost editable rectangle under a picture point: inside it
    // moves, near a corner or an edge resizes. `grab` is the distance in
    // picture pixels that counts as "near". False when nothing is there.
    bool Select(int32_t x, int32_t y, int32_t grab);
    void ClearSelection();
    // With the button held: moves or resizes the selection so that it follows
    // the point, kept inside the picture (width x height). Returns the edited
    // rectangle, or nothing when no rectangle is selected or nothing changed.
    std::optional<DrawEdit> Drag(int32_t x, int32_t y, int32_t width, int32_t height);

    // Paints every visible item into 32-bit 0xAARRGGBB pixels.
    void Paint(uint8_t* pixels, int width, int height, int stride) const;
    bool Empty() const;

    // For tests and diagnostics.
    std::optional<DrawRect> Find(const std::string& name, int32_t layer) const;

private:
    struct Item {
        std::string label;
        DrawRect rect;
        uint32_t argb = 0xFF00FF00;
        bool visible = true;
        int fontSize = 24;
    };
    enum Grip : unsigned { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8, kMove = 16 };

    bool Editable(int32_t layer, const std::string& name) const;

    mutable std::mutex mutex_;
    int pen_ = 2;
    std::map<int32_t, std::vector<Item>> layers_;
    std::map<std::pair<int32_t, std::string>, bool> editing_;   // (layer, lower-case name)

    // Current selection: which item, how it is gripped, where the press was
    // and the rectangle at that moment.
    bool selected_ = false;
    int32_t selLayer_ = 0;
    size_t selIndex_ = 0;
    std::string selName_;
    unsigned grip_ = 0;
    int32_t pressX_ = 0, pressY_ = 0;
    DrawRect start_;
};

// 0x00BBGGRR as the caller writes colours, to 0xAARRGGBB pixels.
uint32_t ColorRefToArgb(uint32_t colorRef);

}   // namespace ky::sdk

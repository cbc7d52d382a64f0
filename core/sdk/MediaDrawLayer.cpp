#include "core/sdk/MediaDrawLayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ky::sdk {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Labels are region and box numbers; a 5x7 bitmap font for digits and '-'
// keeps the SDK free of a font engine. Other characters show as a box.
constexpr uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
constexpr uint8_t kMinus[7] = {0, 0, 0, 0x1F, 0, 0, 0};
constexpr uint8_t kSpace[7] = {0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kUnknown[7] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};

const uint8_t* Glyph(char c) {
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    if (c == '-') return kMinus;
    if (c == ' ') return kSpace;
    return kUnknown;
}

struct Canvas {
    uint8_t* pixels;
    int width, height, stride;

    void Fill(int x0, int y0, int x1, int y1, uint32_t argb) const {
        x0 = std::clamp(x0, 0, width);
        y0 = std::clamp(y0, 0, height);
        x1 = std::min(x1, width);
        y1 = std::min(y1, height);
        for (int y = y0; y < y1; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * stride);
            std::fill(row + x0, row + std::max(x0, x1), argb);
        }
    }
};

constexpr int32_t kMinSize = 4;

}   // namespace

uint32_t ColorRefToArgb(uint32_t colorRef) {
    const uint32_t r = colorRef & 0xFF, g = (colorRef >> 8) & 0xFF, b = (colorRef >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

bool DrawLayer::SetPenWidth(int32_t width) {
    if (width < 1) return false;
    std::lock_guard lock(mutex_);
    pen_ = std::min<int32_t>(width, kMaxPenWidth);
    return true;
}

int DrawLayer::PenWidth() const {
    std::lock_guard lock(mutex_);
    return pen_;
}

bool DrawLayer::SetItems(const KY_DRAW_ITEM* items, int count, int32_t layer) {
    if (count < 0 || count > kMaxItems || (count > 0 && !items)) return false;
    std::vector<Item> list;
    list.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const KY_DRAW_ITEM& in = items[i];
        Item it;
        // The label field need not be terminated.
        it.label.assign(in.label, strnlen(in.label, sizeof in.label));
        it.rect = {std::min(in.left, in.right), std::min(in.top, in.bottom), std::max(in.left, in.right),
                   std::max(in.top, in.bottom)};
        if (in.color) {
            it.argb = ColorRefToArgb(in.color->color);
            it.visible = in.color->visible != 0;
        }
        it.fontSize = std::clamp(in.fontSize, 0, 200);
        list.push_back(std::move(it));
    }
    std::lock_guard lock(mutex_);
    if (!layers_.count(layer) && layers_.size() >= static_cast<size_t>(kMaxLayers) && count > 0) return false;
    if (count == 0)
        layers_.erase(layer);
    else
        layers_[layer] = std::move(list);
    // A selection whose rectangle vanished with the old items is dropped.
    if (selected_ && selLayer_ == layer) {
        auto it = layers_.find(layer);
        if (it == layers_.end() || selIndex_ >= it->second.size() || Lower(it->second[selIndex_].label) != selName_)
            selected_ = false;
    }
    return true;
}

bool DrawLayer::EnableEditing(const char* name, bool on, int32_t layer) {
    if (!name) return false;
    const std::string key = Lower(std::string(name, strnlen(name, 32)));
    std::lock_guard lock(mutex_);
    if (editing_.size() >= 1024 && !editing_.count({layer, key})) return false;
    editing_[{layer, key}] = on;
    if (!on && selected_ && selLayer_ == layer && selName_ == key) selected_ = false;
    return true;
}

bool DrawLayer::Editable(int32_t layer, const std::string& lowerName) const {
    const auto it = editing_.find({layer, lowerName});
    if (it != editing_.end()) return it->second;
    return layer == kEditLayer;
}

bool DrawLayer::Select(int32_t x, int32_t y, int32_t grab) {
    std::lock_guard lock(mutex_);
    selected_ = false;
    grab = std::max(grab, 1);
    // Topmost first: higher layers and later items are painted last.
    for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
        for (auto item = layer->second.rbegin(); item != layer->second.rend(); ++item) {
            const std::string name = Lower(item->label);
            if (!item->visible || !Editable(layer->first, name)) continue;
            const DrawRect& r = item->rect;
            if (x < r.left - grab || x > r.right + grab || y < r.top - grab || y > r.bottom + grab) continue;
            unsigned grip = 0;
            if (std::abs(x - r.left) <= grab)
                grip |= kLeft;
            else if (std::abs(x - r.right) <= grab)
                grip |= kRight;
            if (std::abs(y - r.top) <= grab)
                grip |= kTop;
            else if (std::abs(y - r.bottom) <= grab)
                grip |= kBottom;
            if (grip == 0) {
                if (x <= r.left || x >= r.right || y <= r.top || y >= r.bottom) continue;
                grip = kMove;
            }
            selected_ = true;
            selLayer_ = layer->first;
            selIndex_ = static_cast<size_t>(std::distance(item, layer->second.rend()) - 1);
            selName_ = name;
            grip_ = grip;
            pressX_ = x;
            pressY_ = y;
            start_ = r;
            return true;
        }
    }
    return false;
}

void DrawLayer::ClearSelection() {
    std::lock_guard lock(mutex_);
    selected_ = false;
}

std::optional<DrawEdit> DrawLayer::Drag(int32_t x, int32_t y, int32_t width, int32_t height) {
    std::lock_guard lock(mutex_);
    if (!selected_ || width <= 0 || height <= 0) return std::nullopt;
    auto layer = layers_.find(selLayer_);
    if (layer == layers_.end()) return std::nullopt;
    if (selIndex_ >= layer->second.size()) return std::nullopt;
    Item* item = &layer->second[selIndex_];

    const int64_t dx = static_cast<int64_t>(x) - pressX_, dy = static_cast<int64_t>(y) - pressY_;
    DrawRect r = start_;
    if (grip_ == kMove) {
        const int64_t w = std::min<int64_t>(start_.right - start_.left, width);
        const int64_t h = std::min<int64_t>(start_.bottom - start_.top, height);
        const int64_t left = std::clamp<int64_t>(start_.left + dx, 0, width - w);
        const int64_t top = std::clamp<int64_t>(start_.top + dy, 0, height - h);
        r = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + w),
             static_cast<int32_t>(top + h)};
    } else {
        // The gripped edges follow the pointer; the opposite ones stay, and
        // the rectangle never turns inside out or leaves the picture.
        const int32_t minW = std::min(kMinSize, width), minH = std::min(kMinSize, height);
        r.left = std::clamp<int32_t>(start_.left, 0, width);
        r.right = std::clamp<int32_t>(start_.right, 0, width);
        r.top = std::clamp<int32_t>(start_.top, 0, height);
        r.bottom = std::clamp<int32_t>(start_.bottom, 0, height);
        if (grip_ & kLeft)
            r.left = static_cast<int32_t>(std::clamp<int64_t>(start_.left + dx, 0, std::max(0, r.right - minW)));
        if (grip_ & kRight)
            r.right =
                static_cast<int32_t>(std::clamp<int64_t>(start_.right + dx, std::min(width, r.left + minW), width));
        if (grip_ & kTop)
            r.top = static_cast<int32_t>(std::clamp<int64_t>(start_.top + dy, 0, std::max(0, r.bottom - minH)));
        if (grip_ & kBottom)
            r.bottom =
                static_cast<int32_t>(std::clamp<int64_t>(start_.bottom + dy, std::min(height, r.top + minH), height));
    }
    if (r == item->rect) return std::nullopt;
    item->rect = r;
    return DrawEdit{r, item->label};
}

void DrawLayer::Paint(uint8_t* pixels, int width, int height, int stride) const {
    std::lock_guard lock(mutex_);
    if (layers_.empty() || !pixels || width <= 0 || height <= 0) return;
    const Canvas c{pixels, width, height, stride};
    const int p = pen_;
    for (const auto& [layer, items] : layers_) {
        (void)layer;
        for (const Item& it : items) {
            if (!it.visible) continue;
            const DrawRect& r = it.rect;
            if (r.right <= 0 || r.bottom <= 0 || r.left >= width || r.top >= height) continue;
            // Pen inside the rectangle, as the region's own pixels.
            c.Fill(r.left, r.top, r.right, std::min(r.top + p, r.bottom), it.argb);
            c.Fill(r.left, std::max(r.bottom - p, r.top), r.right, r.bottom, it.argb);
            c.Fill(r.left, r.top, std::min(r.left + p, r.right), r.bottom, it.argb);
            c.Fill(std::max(r.right - p, r.left), r.top, r.right, r.bottom, it.argb);
            if (it.label.empty() || it.fontSize <= 0) continue;
            const int scale = std::max(1, (it.fontSize + 5) / 10);
            int x = r.left + p + scale;
            const int y = r.top + p + scale;
            for (char ch : it.label) {
                const uint8_t* g = Glyph(ch);
                for (int row = 0; row < 7; ++row)
                    for (int col = 0; col < 5; ++col)
                        if (g[row] & (0x10 >> col))
                            c.Fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale,
                                   it.argb);
                x += 6 * scale;
                if (x >= width) break;
            }
        }
    }
}

bool DrawLayer::Empty() const {
    std::lock_guard lock(mutex_);
    return layers_.empty();
}

std::optional<DrawRect> DrawLayer::Find(const std::string& name, int32_t layer) const {
    std::lock_guard lock(mutex_);
    auto it = layers_.find(layer);
    if (it == layers_.end()) return std::nullopt;
    for (const Item& item : it->second)
        if (Lower(item.label) == Lower(name)) return item.rect;
    return std::nullopt;
}

}   // namespace ky::sdk

#include "gui/shell/Skin.h"

#include <QPixmap>
#include <QString>
#include <array>
#include <memory>

#include "core/services/AppDir.h"

namespace {

constexpr std::array<int, 4> kSkinIds = {204, 205, 216, 217};
std::array<std::unique_ptr<QPixmap>, 4> g_skin;

int SlotOf(int id) {
    for (size_t i = 0; i < kSkinIds.size(); ++i)
        if (kSkinIds[i] == id) return static_cast<int>(i);
    return -1;
}

}   // namespace

void LoadSkinImages() {
    for (size_t i = 0; i < kSkinIds.size(); ++i) {
        const std::string path = AssetPath("skin/" + std::to_string(kSkinIds[i]) + ".png");
        auto image = std::make_unique<QPixmap>();
        if (image->load(QString::fromStdString(path)) && !image->isNull())
            g_skin[i] = std::move(image);
        else
            g_skin[i].reset();
    }
}

void FreeSkinImages() {
    for (auto& image : g_skin) image.reset();
}

const QPixmap* SkinImage(int id) {
    const int slot = SlotOf(id);
    return slot < 0 ? nullptr : g_skin[static_cast<size_t>(slot)].get();
}

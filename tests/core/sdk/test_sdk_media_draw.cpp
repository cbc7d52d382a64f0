// The drawing layer on its own: colours, painting and mouse editing in
// picture coordinates.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/sdk/MediaDrawLayer.h"

namespace {

using ky::sdk::DrawLayer;
using ky::sdk::DrawRect;

KY_DRAW_ITEM Item(const char* label, int l, int t, int r, int b, KY_COLOR* color) {
    KY_DRAW_ITEM it{};
    std::strncpy(it.label, label, sizeof it.label);
    it.left = l;
    it.top = t;
    it.right = r;
    it.bottom = b;
    it.shape = 1;
    it.style = 3;
    it.kind = 4;
    it.fontSize = 24;
    it.lineStyle = 2;
    it.color = color;
    return it;
}

struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    Picture(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, 0xFF000000u) {}
    uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    uint8_t* Data() { return reinterpret_cast<uint8_t*>(px.data()); }
};

TEST(SdkDrawLayer, ColoursAreConvertedFromBgrToArgb) {
    EXPECT_EQ(ky::sdk::ColorRefToArgb(0xFF), 0xFFFF0000u);     // red
    EXPECT_EQ(ky::sdk::ColorRefToArgb(0xFF00), 0xFF00FF00u);   // green
    EXPECT_EQ(ky::sdk::ColorRefToArgb(0xFFFF), 0xFFFFFF00u);   // yellow
    EXPECT_EQ(ky::sdk::ColorRefToArgb(0x123456), 0xFF563412u);
}

TEST(SdkDrawLayer, PaintsVisibleRectanglesWithPenWidthAndClips) {
    DrawLayer layer;
    ASSERT_TRUE(layer.SetPenWidth(3));
    KY_COLOR red{0xFF, 0, 1, 0}, hidden{0xFF00, 0, 0, 0};
    KY_DRAW_ITEM items[] = {Item("", 10, 10, 50, 40, &red), Item("", 60, 10, 90, 40, &hidden),
                            Item("", -100, -100, 5000, 5000, &red)};
    ASSERT_TRUE(layer.SetItems(items, 3, 2));
    Picture pic(100, 60);
    layer.Paint(pic.Data(), pic.w, pic.h, pic.w * 4);
    EXPECT_EQ(pic.At(10, 10), 0xFFFF0000u);
    EXPECT_EQ(pic.At(12, 25), 0xFFFF0000u);   // inside the 3-pixel pen
    EXPECT_EQ(pic.At(13, 25), 0xFF000000u);   // just inside it
    EXPECT_EQ(pic.At(49, 39), 0xFFFF0000u);
    EXPECT_EQ(pic.At(50, 25), 0xFF000000u);   // right edge is exclusive
    EXPECT_EQ(pic.At(60, 10), 0xFF000000u);   // invisible item
    EXPECT_EQ(pic.At(75, 55), 0xFF000000u);   // the huge one lies outside the picture
}

TEST(SdkDrawLayer, LabelIsDrawnAndUnterminatedLabelIsSafe) {
    DrawLayer layer;
    KY_COLOR green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM it = Item("", 0, 0, 200, 100, &green);
    std::memset(it.label, '1', sizeof it.label);   // no terminator at all
    ASSERT_TRUE(layer.SetItems(&it, 1, 1));
    Picture pic(200, 100);
    layer.Paint(pic.Data(), pic.w, pic.h, pic.w * 4);
    int lit = 0;
    for (int y = 5; y < 30; ++y)
        for (int x = 5; x < 60; ++x) lit += pic.At(x, y) == 0xFF00FF00u;
    EXPECT_GT(lit, 20);
    EXPECT_EQ(layer.Find(std::string(32, '1'), 1).value(), (DrawRect{0, 0, 200, 100}));
}

TEST(SdkDrawLayer, RejectsBadInputAndReplacesLayers) {
    DrawLayer layer;
    EXPECT_FALSE(layer.SetPenWidth(0));
    EXPECT_FALSE(layer.SetItems(nullptr, 2, 1));
    EXPECT_FALSE(layer.SetItems(nullptr, -1, 1));
    EXPECT_FALSE(layer.EnableEditing(nullptr, true, 1));
    KY_COLOR c{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM a[] = {Item("1", 0, 0, 10, 10, &c), Item("2", 20, 20, 30, 30, nullptr)};
    ASSERT_TRUE(layer.SetItems(a, 2, 1));
    KY_DRAW_ITEM b[] = {Item("3", 5, 5, 8, 8, &c)};
    ASSERT_TRUE(layer.SetItems(b, 1, 1));
    EXPECT_FALSE(layer.Find("1", 1));
    EXPECT_TRUE(layer.Find("3", 1));
    ASSERT_TRUE(layer.SetItems(nullptr, 0, 1));
    EXPECT_TRUE(layer.Empty());
}

class SdkDrawEdit : public ::testing::Test {
protected:
    void SetUp() override {
        KY_COLOR green{0xFF00, 0, 1, 0};
        KY_DRAW_ITEM items[] = {Item("1", 100, 100, 300, 200, &green), Item("2", 400, 300, 500, 400, &green)};
        ASSERT_TRUE(layer.SetItems(items, 2, DrawLayer::kEditLayer));
    }
    DrawLayer layer;
    static constexpr int W = 640, H = 480;
};

TEST_F(SdkDrawEdit, InsideMovesAndReportsTheRectangle) {
    ASSERT_TRUE(layer.Select(150, 150, 4));
    auto e = layer.Drag(250, 180, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "1");
    EXPECT_EQ(e->rect, (DrawRect{200, 130, 400, 230}));
    // The drag is relative to the press, not cumulative per move.
    e = layer.Drag(160, 150, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rect, (DrawRect{110, 100, 310, 200}));
    EXPECT_FALSE(layer.Drag(160, 150, W, H));   // nothing changed: nothing to report
}

TEST_F(SdkDrawEdit, MoveIsClampedToThePicture) {
    ASSERT_TRUE(layer.Select(150, 150, 4));
    auto e = layer.Drag(-1000, 5000, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rect, (DrawRect{0, 380, 200, 480}));
}

TEST_F(SdkDrawEdit, CornersAndEdgesResizeWithoutTurningInsideOut) {
    ASSERT_TRUE(layer.Select(301, 199, 4));   // bottom-right corner
    auto e = layer.Drag(351, 259, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rect, (DrawRect{100, 100, 350, 260}));

    ASSERT_TRUE(layer.Select(100, 150, 4));   // left edge only
    e = layer.Drag(1000, 10, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rect.top, 100);
    EXPECT_EQ(e->rect.right, 350);
    EXPECT_LT(e->rect.left, e->rect.right);
    EXPECT_GE(e->rect.right - e->rect.left, 1);

    ASSERT_TRUE(layer.Select(420, 300, 4));   // top edge of "2"
    e = layer.Drag(420, -50, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->rect, (DrawRect{400, 0, 500, 400}));
}

TEST_F(SdkDrawEdit, EditingFollowsEnablePicAndLayer) {
    EXPECT_FALSE(layer.Select(10, 10, 4));   // nothing there
    ASSERT_TRUE(layer.EnableEditing("1", false, DrawLayer::kEditLayer));
    EXPECT_FALSE(layer.Select(150, 150, 4));
    EXPECT_FALSE(layer.Drag(200, 200, W, H));
    ASSERT_TRUE(layer.EnableEditing("1", true, DrawLayer::kEditLayer));
    EXPECT_TRUE(layer.Select(150, 150, 4));

    // Display layers (detection boxes) stay put unless enabled by name,
    // compared without regard to case.
    KY_COLOR red{0xFF, 0, 1, 0};
    KY_DRAW_ITEM box = Item("Box", 10, 10, 60, 60, &red);
    ASSERT_TRUE(layer.SetItems(&box, 1, 2));
    EXPECT_FALSE(layer.Select(30, 30, 4));
    ASSERT_TRUE(layer.EnableEditing("BOX", true, 2));
    EXPECT_TRUE(layer.Select(30, 30, 4));
    auto e = layer.Drag(40, 30, W, H);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "Box");
}

TEST_F(SdkDrawEdit, ReplacingTheItemsDropsAStaleSelection) {
    ASSERT_TRUE(layer.Select(150, 150, 4));
    KY_COLOR green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM other = Item("7", 0, 0, 50, 50, &green);
    ASSERT_TRUE(layer.SetItems(&other, 1, DrawLayer::kEditLayer));
    EXPECT_FALSE(layer.Drag(200, 200, W, H));
}

}   // namespace

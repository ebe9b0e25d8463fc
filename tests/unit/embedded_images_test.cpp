// Loading the firmware blocks and the slices taken from them.
#include <gtest/gtest.h>

#include "firmware/embedded_images.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/recording_window.h"

namespace torvex {
namespace {

using testing::MemoryFirmwareBlocks;
using testing::RecordingWindow;

TEST(LoadEmbeddedImages, AllBlocksPresent) {
    auto store = MemoryFirmwareBlocks::Patterned();
    RecordingWindow window;
    EmbeddedImages images;
    EXPECT_EQ(LoadEmbeddedImages(store, window, images), LoadOutcome::Loaded);
    EXPECT_TRUE(window.message_boxes.empty());
    EXPECT_EQ(images.Block134Size, 256u);
    EXPECT_EQ(images.Ef32ImageGroup2.data(), store.blocks[164].data());
}

TEST(LoadEmbeddedImages, MissingFirstBlockStopsBeforeAnyOther) {
    auto store = MemoryFirmwareBlocks::Patterned();
    store.blocks.erase(134);
    RecordingWindow window;
    EmbeddedImages images;
    EXPECT_EQ(LoadEmbeddedImages(store, window, images), LoadOutcome::MissingBlock);
    EXPECT_EQ(window.message_boxes, std::vector<std::u16string>{u"findresource"});
    EXPECT_TRUE(images.Ef64InfoBlock.empty());
    EXPECT_TRUE(images.Ef32ImageGroup2.empty());
}

TEST(LoadEmbeddedImages, MissingLaterBlockKeepsEarlierOnes) {
    auto store = MemoryFirmwareBlocks::Patterned();
    store.blocks.erase(161);
    RecordingWindow window;
    EmbeddedImages images;
    EXPECT_EQ(LoadEmbeddedImages(store, window, images), LoadOutcome::MissingBlock);
    EXPECT_FALSE(images.Ef64ImageGroup2.empty());
    EXPECT_TRUE(images.Ef32ImageGroup1.empty());
}

ImageGroup G(int value);

TEST(LoadEmbeddedImages, ShortBlockIsNotLoadedAndLoadingGoesOn) {
    auto store = MemoryFirmwareBlocks::Patterned();
    store.blocks[162].resize(66047);
    RecordingWindow window;
    EmbeddedImages images;
    EXPECT_EQ(LoadEmbeddedImages(store, window, images), LoadOutcome::Loaded);
    EXPECT_EQ(window.message_boxes, std::vector<std::u16string>{u"loadresource"});
    EXPECT_TRUE(images.Ef64ImageGroup1.empty());
    EXPECT_FALSE(images.Ef64ImageGroup2.empty());
    // Nothing can be sent from the absent block.
    EXPECT_TRUE(IdentitySlice(images, Bank::Ef64).empty());
    EXPECT_TRUE(MainMemorySlice(ImageBlockFor(images, Bank::Ef64, G(1))).empty());
}

// A FirmwareGroup value as the state may hold it, in or out of the named range.
ImageGroup G(int value) {
    return static_cast<ImageGroup>(value);
}

struct SliceTest : ::testing::Test {
    void SetUp() override {
        store = MemoryFirmwareBlocks::Patterned();
        LoadEmbeddedImages(store, window, images);
    }
    MemoryFirmwareBlocks store;
    RecordingWindow window;
    EmbeddedImages images;
};

TEST_F(SliceTest, GroupZeroAndOneSelectGroup1AnythingElseGroup2) {
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef64, G(0)).data(), store.blocks[162].data());
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef64, G(1)).data(), store.blocks[162].data());
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef64, G(2)).data(), store.blocks[163].data());
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef64, G(7)).data(), store.blocks[163].data());
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef32_0, G(0)).data(), store.blocks[156].data());
    EXPECT_EQ(ImageBlockFor(images, Bank::Ef32_0, G(2)).data(), store.blocks[164].data());
}

TEST_F(SliceTest, ProgrammingSlicesStartAtOffset512) {
    const auto main = MainMemorySlice(ImageBlockFor(images, Bank::Ef32_0, G(2)));
    EXPECT_EQ(main.data(), store.blocks[164].data() + 512);
    EXPECT_EQ(main.size(), 65536u);
    const auto page = InformationPageSlice(InfoBlockFor(images, Bank::Ef32_0));
    EXPECT_EQ(page.data(), store.blocks[161].data() + 512);  // not 640
    EXPECT_EQ(page.size(), 128u);
    EXPECT_EQ(InformationPageSlice(InfoBlockFor(images, Bank::Ef64)).data(),
              store.blocks[138].data() + 512);
}

TEST_F(SliceTest, IdentitySliceIsTheFirst2048BytesOfGroup1) {
    const auto slice = IdentitySlice(images, Bank::Ef64);
    EXPECT_EQ(slice.data(), store.blocks[162].data());
    EXPECT_EQ(slice.size(), 2048u);
    EXPECT_EQ(IdentitySlice(images, Bank::Ef32_0).data(), store.blocks[156].data());
}

}  // namespace
}  // namespace torvex

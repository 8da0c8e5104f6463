// Area extents of FRU images computed from their bytes alone.
#include "fru/ImageLayout.h"
#include "FruTestImages.h"
#include "orvane/orvane.h"

#include <gtest/gtest.h>

namespace {

using FruTestImages::Put;

std::vector<uint8_t> Blank(size_t size) {
    return std::vector<uint8_t>(size, 0xFF);
}

const ImageLayout::Area* Find(const ImageLayout::Layout& layout, int32_t kind) {
    for (const ImageLayout::Area& a : layout.areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

TEST(ImageLayoutTest, HeaderDecodesOffsetsInBytesAndItsChecksum) {
    std::vector<uint8_t> h = FruTestImages::Header(1, 2, 3, 4, 5);
    ImageLayout::Header header = ImageLayout::ParseHeader(h);
    EXPECT_TRUE(header.complete);
    EXPECT_EQ(header.formatVersion, 1);
    EXPECT_EQ(header.Offset(ORVANE_AREA_INTERNAL_USE), 8u);
    EXPECT_EQ(header.Offset(ORVANE_AREA_MULTIRECORD), 40u);
    EXPECT_EQ(header.Offset(ORVANE_AREA_COMMON_HEADER), 0u);
    EXPECT_EQ(header.storedChecksum, header.computedChecksum);
    h[7] ^= 1;
    header = ImageLayout::ParseHeader(h);
    EXPECT_NE(header.storedChecksum, header.computedChecksum);
    EXPECT_FALSE(ImageLayout::ParseHeader(std::span(h).first(7)).complete);
}

TEST(ImageLayoutTest, InternalUseEndsAtTheNextAreaByKindNotByPosition) {
    const struct {
        uint8_t internal, chassis, board, product, multi;
        uint32_t end;
    } cases[] = {
        {1, 0, 3, 0, 0, 24}, // the board area follows
        {1, 0, 0, 0, 0, 0},  // the last area: the end of the image
        {1, 5, 3, 0, 0, 40}, // the chassis area comes first by kind though the board lies first
        {4, 0, 6, 2, 0, 48}, // the board area comes before the product area by kind
        {6, 2, 0, 0, 0, 16}, // placed after the chassis area: an end before its start
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> h =
            FruTestImages::Header(c.internal, c.chassis, c.board, c.product, c.multi);
        EXPECT_EQ(ImageLayout::InternalUseEnd(ImageLayout::ParseHeader(h)), c.end)
            << int(c.internal) << "," << int(c.chassis) << "," << int(c.board);
    }
}

TEST(ImageLayoutTest, RecordsAndChainsStopAtTheLastMarkOrTheBytesEnd) {
    std::vector<uint8_t> chain = FruTestImages::Record(0x00, {1, 2, 3}, false);
    for (const std::vector<uint8_t>& record :
         {FruTestImages::Record(0x01, {4}, true),
          FruTestImages::Record(0x02, {5}, false)}) // after the last: ignored
        chain.insert(chain.end(), record.begin(), record.end());
    // The same with the bytes ending right after the last record.
    for (size_t size : {chain.size(), size_t{14}}) {
        const ImageLayout::Chain walked = ImageLayout::WalkChain(std::span(chain).first(size));
        ASSERT_EQ(walked.records.size(), 2u);
        EXPECT_EQ(walked.length, 14u);
        EXPECT_TRUE(walked.endMarker);
        EXPECT_EQ(walked.records[1].offset, 8u);
        const auto& last = walked.records[1];
        EXPECT_TRUE(last.extent.last && last.complete);
        EXPECT_TRUE(last.headerChecksumOk && last.dataChecksumOk);
    }

    // Cut inside the second record's data: its extent still counts, it is
    // not complete; a corrupt data byte shows in the first record's checksum.
    chain[5] ^= 0xFF;
    const ImageLayout::Chain cut = ImageLayout::WalkChain(std::span(chain).first(13));
    ASSERT_EQ(cut.records.size(), 2u);
    EXPECT_FALSE(cut.records[0].dataChecksumOk);
    EXPECT_FALSE(cut.records[1].complete);
    EXPECT_EQ(cut.length, 14u);
    // No record header fits: an empty chain without end marker.
    const ImageLayout::Chain none = ImageLayout::WalkChain(std::span(chain).first(4));
    EXPECT_TRUE(none.records.empty());
    EXPECT_EQ(none.length, 0u);
    EXPECT_FALSE(none.endMarker);
    EXPECT_EQ(ImageLayout::Record(std::span(chain).first(2)).totalBytes, 0u);
}

TEST(ImageLayoutTest, InfoAreaProblemsAreDescribed) {
    const std::vector<uint8_t> board =
        // A date byte that looks like the end marker: fields start after the date.
        FruTestImages::Area({0x01, 0, 0x19, 0xC1, 0, 0}, {"Acme", "Board"}, 3);
    struct Case {
        const char* what;
        size_t imageSize;
        size_t flipByte; // 0: none
        uint8_t flipMask;
        uint32_t readable;
        bool checksummed, checksumOk, endMarker, knownVersion;
    } cases[] = {
        {"intact", 64, 0, 0, 24, true, true, true, true},
        {"cut by the image end", 20, 0, 0, 12, false, false, false, true},
        {"bad checksum", 64, 8 + 23, 0x01, 24, true, false, true, true},
        {"no end marker", 64, 8 + 17, 0x3E, 24, true, false, false, true}, // 0xC1 -> 0xFF
        {"unknown version", 64, 8, 0x02, 24, true, false, true, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> image = Blank(64);
        Put(image, 0, FruTestImages::Header(0, 0, 1, 0, 0));
        Put(image, 8, board);
        if (c.flipByte)
            image[c.flipByte] ^= c.flipMask;
        image.resize(c.imageSize);
        const ImageLayout::Layout layout = ImageLayout::Parse(image);
        ASSERT_EQ(layout.areas.size(), 1u) << c.what;
        const ImageLayout::Area& a = layout.areas[0];
        EXPECT_EQ(a.declared, 24u) << c.what;
        EXPECT_EQ(a.readable, c.readable) << c.what;
        EXPECT_EQ(a.checksummed, c.checksummed) << c.what;
        EXPECT_EQ(a.checksummed && a.storedChecksum == a.computedChecksum, c.checksumOk) << c.what;
        EXPECT_EQ(a.endMarker, c.endMarker) << c.what;
        EXPECT_EQ(a.knownVersion, c.knownVersion) << c.what;
    }
}

TEST(ImageLayoutTest, AreasThatOverlapOrLieOutsideAreNamed) {
    std::vector<uint8_t> image = Blank(96);
    // Internal use placed after the chassis area it ends at; a board area
    // of 32 bytes that runs into the product area; a multi-record area past
    // the image.
    Put(image, 0, FruTestImages::Header(9, 1, 3, 6, 20));
    Put(image, 8, {0x01, 0x02});  // chassis: 16 bytes, ending where the board area begins
    Put(image, 24, {0x01, 0x04}); // board: 32 bytes, to 56
    Put(image, 48, {0x01, 0x01});
    image[72] = 0x01; // internal use data
    const ImageLayout::Layout layout = ImageLayout::Parse(image);
    ASSERT_EQ(layout.areas.size(), 5u);

    const ImageLayout::Area* internal = Find(layout, ORVANE_AREA_INTERNAL_USE);
    EXPECT_TRUE(internal->misplaced);
    EXPECT_EQ(internal->shownEnd, 96u); // no area after it by position
    EXPECT_TRUE(internal->knownVersion);
    EXPECT_EQ(Find(layout, ORVANE_AREA_BOARD)->overlaps, ORVANE_AREA_PRODUCT);
    EXPECT_EQ(Find(layout, ORVANE_AREA_CHASSIS)->overlaps, 0);
    EXPECT_TRUE(Find(layout, ORVANE_AREA_MULTIRECORD)->pastImage);
    EXPECT_FALSE(Find(layout, ORVANE_AREA_PRODUCT)->pastImage);
}

} // namespace

// Random and mutated images against every parser, getter, renderer and
// serializer: nothing may crash or touch memory out of bounds.
#include "fru/CFru.h"

#include "support/Frame.h"
#include "tests/FruTestImages.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace {
// Every getter of every field (the data read to its last byte), then a
// random edit and the getters of the edited field.
template <typename AreaT> void Exercise(AreaT& area, std::mt19937& rng) {
    area.GetPadLength();
    area.IsValid();
    const uint32_t fields = area.GetNumberOfFields();
    for (uint32_t i = 0; i <= fields; ++i) {
        area.GetFieldTitleFromIndex(i);
        area.GetFieldValueFromIndex(i);
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        if (area.GetFieldData(i, &data, &size))
            for (uint32_t k = 0; k < size; ++k)
                (void)*(volatile const uint8_t*)(data + k);
    }
    char16_t* value = nullptr;
    area.GetCustomField(area.GetNumberOfCustomFields(), &value);
    delete[] value;
    uint8_t bytes[70];
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    const uint32_t index = rng() % (fields + 2);
    area.SetFieldData(index, bytes, rng() % 70, 0xC0);
    area.GetData();
    area.GetFieldValueFromIndex(index);
}

// A third of the time up to 600 random bytes, else the seed with bytes
// changed and sometimes cut or grown.
std::vector<uint8_t> Mutant(std::mt19937& rng, const std::vector<uint8_t>& seed) {
    std::vector<uint8_t> out = seed;
    if (rng() % 3 == 0) {
        out.resize(rng() % 601);
        for (auto& b : out)
            b = static_cast<uint8_t>(rng());
        return out;
    }
    for (uint32_t i = 0, flips = 1 + rng() % 4; i < flips && !out.empty(); ++i)
        out[rng() % out.size()] = static_cast<uint8_t>(rng());
    if (rng() % 4 == 0)
        out.resize(rng() % 601, static_cast<uint8_t>(rng()));
    return out;
}
} // namespace

TEST(FruRobustnessTest, RandomAndMutatedBytes) {
    TestSupport::LoadEnglishCatalogue();
    Frame::ResetErrorBuffers();
    std::mt19937 rng(20260601);
    const auto board = FruTestImages::Area({1, 0, 0, 1, 2, 3}, {"a", "bb", "c", "d", "e", "x1"}, 4);
    const auto product =
        FruTestImages::Area({1, 0, 0}, {"a", "b", "c", "d", "e", "f", "g", "h"}, 4);
    const auto chassis = FruTestImages::Area({1, 0, 3}, {"pn", "sn", "c1", "c2"}, 3);
    const std::vector<uint8_t> records = {0xC0, 0x82, 3, 0xFA, 0, 1, 2, 3};
    CFru fru;
    char16_t name[100];
    for (int round = 0; round < 100000; ++round) {
        const auto b = Mutant(rng, board), p = Mutant(rng, product), c = Mutant(rng, chassis),
                   m = Mutant(rng, records);
        fru.boardArea.SetData(b.data(), static_cast<uint32_t>(b.size()));
        fru.productArea.SetData(p.data(), static_cast<uint32_t>(p.size()));
        fru.chassisArea.SetData(c.data(), static_cast<uint32_t>(c.size()));
        fru.internalArea.SetData(m.data(), static_cast<uint32_t>(m.size()), 0);
        fru.internalArea.GetFieldValueFromIndex(0);
        fru.multiRecLength = static_cast<uint16_t>(m.size());
        fru.DecodeMultiRecArea(m.data());
        fru.CheckMultiRecCheckSum();
        uint8_t out[600];
        uint32_t outSize = static_cast<uint32_t>(rng() % sizeof out);
        fru.SerializeMultiRecArea(out, &outSize);
        if (round % 8 == 0) {
            Exercise(fru.boardArea, rng);
            Exercise(fru.productArea, rng);
            Exercise(fru.chassisArea, rng);
            const std::u16string text(m.begin(), m.end());
            fru.locator.SetName(text.c_str());
            CFru::GetFriendlyFruIdentifier(&fru.locator, name, 200);
            fru.DecodeHeader(c.size() >= 8 ? c.data() : board.data());
            fru.ComputeAreaLengths(static_cast<uint16_t>(rng()));
            fru.GetOverallLength();
        }
    }
}

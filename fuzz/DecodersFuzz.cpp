// The orvane command's view of a raw FRU image, as `show --image` builds it:
// the image parsed area by area by the core, every field decoded by its type
// code, the multi-records decoded by type, and the whole printed as text and
// as JSON, with the fields salvaged from areas the core refuses. A repair
// that fixes something must leave every field as the salvage read it. Then
// the packed encoders: a text that encodes as BCD plus or 6-bit ASCII must
// decode to itself.
//
// Input: one byte choosing how much of the tail is a text for the encoders,
// then the image.
#include "api/ImageModel.h"
#include "decode/FieldEncoding.h"
#include "decode/MultiRecords.h"
#include "decode/Salvage.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSupport.h"
#include "view/FruViews.h"
#include "view/Render.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    return 0;
}

namespace {

void CheckEncoders(const std::string& text) {
    using FieldEncoding::Kind;
    for (Kind kind : {Kind::BcdPlus, Kind::SixBitAscii}) {
        auto bytes = FieldEncoding::Encode(kind, text);
        if (!bytes)
            continue;
        // The encoder may add one blank to fill the last byte.
        std::string back = FieldEncoding::Decode(kind, *bytes);
        if (back != text && back != text + " ")
            std::abort();
    }
}

// Every info area field of a view, by name, as its bytes.
std::vector<std::string> Fields(const FruView& view) {
    std::vector<std::string> fields;
    for (const auto& area : view.image.areas)
        for (size_t i = 0; i < area.fields.size(); ++i)
            fields.push_back(FruViews::Key(area, i) + "=" +
                             std::string(area.fields[i].data.begin(), area.fields[i].data.end()));
    return fields;
}

// A repair changes checksums, lengths and flags only: the fields read before
// are the fields read after.
void CheckRepair(const std::vector<uint8_t>& image, const FruView& salvaged) {
    const Salvage::Repair repair = Salvage::Plan(image);
    if (!repair.refusals.empty() || repair.fixes.empty())
        return;
    FruView after;
    FruViews::FillSalvaged(repair.image, u"fuzz.bin", &after);
    if (Fields(after) != Fields(salvaged) || repair.image.size() != image.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    FuzzInput input(data, size);
    size_t textLength = input.Byte() % 32;
    std::vector<uint8_t> image = input.Rest();
    if (textLength > image.size())
        textLength = image.size();
    CheckEncoders(std::string(image.end() - static_cast<long>(textLength), image.end()));

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    FruView view;
    view.name = "fuzz.bin";
    FruViews::FillSalvaged(image, u"fuzz.bin", &view);
    Render::Plain(sink, view);
    Render::Json(sink, {view});
    CheckRepair(image, view);
    // The multi-record decoders on bytes that need not be a valid area.
    MultiRecords::Chain chain = MultiRecords::Walk(image.data(), image.size());
    for (const auto& record : chain.records)
        if (record.bytes.size() > 5)
            MultiRecords::Decode(record.type, {record.bytes.begin() + 5, record.bytes.end()});
    FuzzSupport::End(&api);
    return 0;
}

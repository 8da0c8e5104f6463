// The command's one model of a FRU it shows: where the FRU is, and the core's
// description of its image (api/ImageModel.h) as it stands. What the command
// shows beyond the core's model (stable field names, decoded values, the
// area members shown) is read off that description by the functions here,
// so nothing is copied into a second model.
#pragma once
#include "api/ImageModel.h"
#include "decode/Salvage.h"
#include "fru/FruAddress.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

struct FruView {
    uint32_t position = 0;
    std::string name;
    FruAddress address;
    bool listed = true;         // false: a located device the load refused, so without a position
    bool withoutRecord = false; // the BMC's FRU 0, found though no SDR record names it
    std::string state;          // "": read; "damaged" or "unreadable": a located device not read
    // The image area by area. image.accepted false: shown from raw bytes,
    // not editable (the library refuses the image, or the FRU is a file).
    ImageModel::ImageView image;
    // What is wrong with an image the library refuses (FillSalvaged): the
    // common header's problems, and each refused area's by its kind.
    std::vector<Salvage::Problem> headerProblems;
    std::map<int32_t, std::vector<Salvage::Problem>> areaProblems;
};

namespace FruViews {
std::string Utf8(const std::u16string& text);
// Fills fru->image from a raw image the library refuses (not accepted): the
// areas the core's area classes take as they take them, and of each one they
// refuse what is wrong with it and every field that can still be read. A
// wrong header checksum is named and the areas are read all the same.
void FillSalvaged(std::span<const uint8_t> image, const std::u16string& name, FruView* fru);
// The problems of an area of fru (none for an area the library takes).
const std::vector<Salvage::Problem>& Problems(const FruView& fru,
                                              const ImageModel::AreaImage& area);
// The fields of an area the library refuses were salvaged from its bytes.
bool Salvaged(const ImageModel::AreaImage& area);
// Why the image as a whole cannot be read; "" when its header reads.
std::string Problem(const FruView& fru);
// The FRU's area of a kind; null when it has none.
const ImageModel::AreaImage* Area(const FruView& fru, int32_t kind);
// Chassis, board and product areas: fields, padding, a checksum.
bool Info(const ImageModel::AreaImage& area);

// What an area shows: the bytes a field may grow by (info areas that read),
// its format version, language and chassis type (-1 when it shows none),
// and the message of its problem in the running language ("" when none).
uint32_t Room(const ImageModel::AreaImage& area);
int FormatVersion(const ImageModel::AreaImage& area);
int LanguageCode(const ImageModel::AreaImage& area);
int ChassisType(const ImageModel::AreaImage& area);
std::string ProblemText(const ImageModel::AreaImage& area);

// What a field shows: its stable name ("board.manufacturer"), title and
// library value in UTF-8, the name of its encoding ("8bit_text", ...; ""
// for untyped fields), its value as the encoding means it, and the board
// date in UTC ("" for other fields).
std::string Key(const ImageModel::AreaImage& area, size_t index);
std::string Encoding(const ImageModel::FieldImage& field);
// The same for every field: untyped fields are "date" (the board date),
// "chassis_type" and "binary" (internal use data).
std::string Encoding(const ImageModel::AreaImage& area, size_t index);
std::string Decoded(const ImageModel::AreaImage& area, size_t index);
std::string Iso8601(const ImageModel::AreaImage& area, size_t index);
// "YYYY-MM-DDTHH:MM:00Z" of the board date's three bytes (minutes since 1996).
std::string Iso8601(const std::vector<uint8_t>& minutes);
} // namespace FruViews

// Turns what the core holds of a FRU image (every area with its bytes,
// fields and problems) into the command's views: stable field names with
// custom fields in image order, decoded values beside the library's own
// strings, language, format version and chassis type.
#pragma once
#include "api/ImageModel.h"
#include "app/Session.h"

#include <span>

namespace FruViews {
// Fills the header and areas of a view from an image.
void Fill(const ImageModel::ImageView& image, FruView* view);
// Fills a view from a raw image the library may refuse (not editable): the
// areas the core's area classes take as they take them, and of each one they
// refuse, what is wrong with it and every field that can still be read
// (salvaged). A wrong header checksum is named and the areas are read all the
// same.
void FillSalvaged(std::span<const uint8_t> image, const std::u16string& name, FruView* view);
// The message of an area's problem, in the running language.
std::string ProblemText(const ImageModel::AreaImage& area);
// "YYYY-MM-DDTHH:MM:00Z" of the board date's three bytes (minutes since 1996).
std::string Iso8601(const std::vector<uint8_t>& minutes);
} // namespace FruViews

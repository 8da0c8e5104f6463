// Turns what the core holds of a FRU image (every area with its bytes,
// fields and problems) into the command's views: stable field names with
// custom fields in image order, decoded values beside the library's own
// strings, language, format version and chassis type.
#pragma once
#include "api/ImageModel.h"
#include "app/Session.h"

namespace FruViews {
// Fills the header and areas of a view from an image.
void Fill(const ImageModel::ImageView& image, FruView* view);
// The message of an area's problem, in the running language.
std::string ProblemText(const ImageModel::AreaImage& area);
// "YYYY-MM-DDTHH:MM:00Z" of the board date's three bytes (minutes since 1996).
std::string Iso8601(const std::vector<uint8_t>& minutes);
} // namespace FruViews

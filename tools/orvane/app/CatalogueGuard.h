// The command's guard against planted catalogues. The library looks for its
// catalogue in the current directory first; the command may run as root in a
// folder where others can write (/tmp, a shared build folder, an unpacked
// archive), and a catalogue is formatted into every message. So the command
// does not let the library take a catalogue from the current directory when
// that directory, a folder on the way to the file, or the file itself can be
// written by another user: it then names its installed catalogues explicitly
// and says so once on standard error.
#pragma once
#include "orvane/orvane.h"

namespace CatalogueGuard {
// The command's set-language entry: SetLanguageLocale, with the catalogue of
// an unsafe current directory replaced by the installed one.
uint32_t SetLanguage(OrvaneInterface* api, const OrvaneChar* language, const OrvaneChar* locale);
} // namespace CatalogueGuard

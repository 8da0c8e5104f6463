// The language of the command: its own texts through gettext (text domain
// "orvane", translations compiled from tools/orvane/po/), and the library's
// catalogue, named by --lang/--locale or else taken from the locale
// (LC_ALL, LC_MESSAGES, LANG: de_DE.UTF-8 gives "de"/"de").
#pragma once
#include <string>

namespace Languages {
// Binds the text domain to the translations beside the program (build
// tree) or under the installed share/locale.
void BindTexts();
// Chooses the catalogue's language and locale when no option named one, and
// makes the command's own texts follow the chosen language. A language of
// the locale without a catalogue falls back to English; the returned line
// says so (empty otherwise).
std::string Choose(std::string* language, std::string* locale);
// JSON output is the same in every locale: English catalogue and messages,
// and UTF-8 for every text the library and the command convert. After this,
// Choose keeps English whatever the environment or --lang says.
void ForScripts(std::string* language, std::string* locale);
} // namespace Languages

#include "view/Languages.h"

#include "view/Translate.h"

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace Languages {
namespace {
namespace fs = std::filesystem;
constexpr const char* kDomain = "orvane";
bool forScripts = false;

fs::path ProgramFolder() {
    std::error_code ec;
    const auto self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

// The catalogue file of a language and locale, where the library looks for it.
bool CatalogueExists(const std::string& language, const std::string& locale) {
    const fs::path relative = fs::path(language + locale) / "orvane" / "str" / "orvane.str";
    std::error_code ec;
    if (fs::exists(relative, ec))
        return true;
    if (const char* data = std::getenv("ORVANE_DATA_DIR"); data && fs::exists(data / relative, ec))
        return true;
    return fs::exists(ProgramFolder() / ".." / "share" / "orvane" / relative, ec);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The command's own texts in a language, even when the locale is plain C.
void FollowLanguage(const std::string& language) {
    setenv("LANGUAGE", language.c_str(), 1);
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    if (messages && (std::string(messages) == "C" || std::string(messages) == "POSIX"))
        std::setlocale(LC_MESSAGES, "C.UTF-8");
}
} // namespace

void BindTexts() {
    std::error_code ec;
    fs::path folder = ProgramFolder() / "locale";
    if (!fs::is_directory(folder, ec))
        folder = ProgramFolder() / ".." / "share" / "locale";
    bindtextdomain(kDomain, folder.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    textdomain(kDomain);
}

std::string Choose(std::string* language, std::string* locale) {
    if (forScripts) {
        language->clear();
        locale->clear();
        return "";
    }
    if (!language->empty()) {
        FollowLanguage(*language);
        return "";
    }
    std::string name;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    // "de_DE.UTF-8@euro": language "de", country "DE".
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return "";
    const std::string lang = Lower(name.substr(0, name.find('_')));
    const size_t underscore = name.find('_');
    const std::string country =
        underscore == std::string::npos ? lang : Lower(name.substr(underscore + 1));
    if (lang == "en")
        return "";
    for (const std::string& candidate : {country, lang})
        if (CatalogueExists(lang, candidate)) {
            *language = lang;
            *locale = candidate;
            FollowLanguage(lang);
            return "";
        }
    char line[160];
    std::snprintf(line, sizeof line, _("no catalogue for the language of %s; using English"),
                  name.c_str());
    return line;
}

void ForScripts(std::string* language, std::string* locale) {
    forScripts = true;
    language->clear();
    locale->clear();
    unsetenv("LANGUAGE");
    std::setlocale(LC_MESSAGES, "C");
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "en_US.UTF-8");
}
} // namespace Languages

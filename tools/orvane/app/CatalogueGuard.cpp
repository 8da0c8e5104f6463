#include "app/CatalogueGuard.h"
#include "app/Report.h"
#include "view/Translate.h"

#include "api/DeviceAccess.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace CatalogueGuard {
namespace {

constexpr const char* kCataloguePath = "/orvane/str/orvane.str";

// Language and locale codes are plain ASCII; anything else is kept as '?',
// which names no catalogue.
std::string Ascii(const OrvaneChar* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// A path for the library, which converts wide paths with the running
// locale: each character as the locale reads it, a byte it cannot read as
// U+00bb of the same value, so the library gets the same bytes back.
std::u16string Wide(const std::string& bytes) {
    std::u16string out;
    std::mbstate_t state{};
    for (size_t i = 0; i < bytes.size();) {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, bytes.data() + i, bytes.size() - i, &state);
        if (n == 0 || n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out.push_back(static_cast<unsigned char>(bytes[i++]));
            state = std::mbstate_t{};
            continue;
        }
        char32_t c = static_cast<char32_t>(wc);
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += n;
    }
    return out;
}

// Someone other than this user (and root) can change what is at path: its
// group or others may write it, or another user owns it.
bool WritableByOthers(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return false;
    const uid_t self = geteuid();
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 || (info.st_uid != self && info.st_uid != 0);
}

// The current directory and every step from it to the catalogue.
bool Unsafe(const std::string& relative) {
    if (WritableByOthers("."))
        return true;
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1))
        if (WritableByOthers(relative.substr(0, slash)))
            return true;
    return WritableByOthers(relative);
}

// Where the command's own catalogues are: $ORVANE_DATA_DIR (set for a build
// tree), else the installed data folder the library would use.
std::string InstalledFolder() {
    if (const char* dir = std::getenv("ORVANE_DATA_DIR"); dir && *dir)
        return dir;
    return DeviceAccess::DataFolder();
}

} // namespace

uint32_t SetLanguage(OrvaneInterface* api, const OrvaneChar* language, const OrvaneChar* locale) {
    if (!language || !locale)
        return SetLanguageLocale(api, language, locale);
    const std::string relative = Ascii(language) + Ascii(locale) + kCataloguePath;
    if (!Unsafe(relative))
        return SetLanguageLocale(api, language, locale);
    static bool told = false;
    struct stat info;
    if (!told && stat(relative.c_str(), &info) == 0) {
        Report::Say(_("not using %s in the current directory, which other users can "
                      "change; using the installed catalogues\n"),
                    relative.c_str());
        told = true;
    }
    // An absolute path: the library takes it as it stands, without looking
    // in the current directory.
    std::string folder = InstalledFolder();
    if (!folder.empty() && folder[0] != '/') {
        std::error_code ec;
        folder = std::filesystem::absolute(folder, ec).string();
    }
    const std::u16string explicitLanguage = Wide(folder + "/") + language;
    return SetLanguageLocale(api, explicitLanguage.c_str(), locale);
}

} // namespace CatalogueGuard

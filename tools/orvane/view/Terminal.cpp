#include "view/Terminal.h"

#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <string>

namespace Terminal {
namespace {
// The length of the UTF-8 sequence that a lead byte starts; 0 for a byte
// that cannot start one.
size_t SequenceLength(unsigned char b) {
    return b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
}

// Converts whole characters of text from `from` on; returns where an
// incomplete sequence at the end begins (text.size() when none).
size_t Convert(const std::string& text, size_t from, bool final, std::string* out) {
    size_t i = from;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t n = SequenceLength(b);
        if (n == 1) {
            out->push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (n && i + n > text.size() && !final)
            return i;
        uint32_t cp = n ? b & (0x7Fu >> n) : 0;
        bool valid = n && i + n <= text.size();
        for (size_t k = 1; valid && k < n; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            valid = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        char bytes[MB_LEN_MAX + 16];
        std::mbstate_t state{};
        if (!valid) {
            std::snprintf(bytes, sizeof bytes, "\\x%02X", b);
            *out += bytes;
            ++i;
            continue;
        }
        const size_t written = std::wcrtomb(bytes, static_cast<wchar_t>(cp), &state);
        if (written == static_cast<size_t>(-1) || written > MB_LEN_MAX)
            std::snprintf(bytes, sizeof bytes, "\\u{%X}", cp);
        else
            bytes[written] = '\0';
        *out += bytes;
        i += n;
    }
    return i;
}

struct Filter {
    std::FILE* target;
    std::string pending; // the start of a character a later write completes
};

// The filters of stdout and stderr live as long as the process: the streams
// are flushed after static objects are destroyed, so they are kept here as
// plain pointers, never freed unless their stream is closed.
Filter* gFilters[2] = {};

ssize_t Write(void* cookie, const char* data, size_t size) {
    auto* f = static_cast<Filter*>(cookie);
    std::string text = f->pending + std::string(data, size), out;
    const size_t rest = Convert(text, 0, false, &out);
    f->pending = text.substr(rest);
    std::fwrite(out.data(), 1, out.size(), f->target);
    std::fflush(f->target);
    return static_cast<ssize_t>(size);
}

int Close(void* cookie) {
    auto* f = static_cast<Filter*>(cookie);
    std::string out;
    Convert(f->pending, 0, true, &out);
    std::fwrite(out.data(), 1, out.size(), f->target);
    const int result = std::fflush(f->target);
    for (Filter*& slot : gFilters)
        if (slot == f)
            slot = nullptr;
    delete f;
    return result;
}

std::FILE* Filtered(std::FILE* target, int mode) {
    const cookie_io_functions_t io{nullptr, Write, nullptr, Close};
    Filter*& slot = gFilters[target == stdout ? 0 : 1];
    slot = new Filter{target, {}};
    std::FILE* stream = fopencookie(slot, "w", io);
    if (stream)
        std::setvbuf(stream, nullptr, mode, BUFSIZ);
    return stream ? stream : target;
}

bool Utf8Locale() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// Whether the environment names a UTF-8 locale, installed or not.
bool Utf8Named() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            const std::string name = value;
            return name.find(".UTF-8") != std::string::npos ||
                   name.find(".utf8") != std::string::npos;
        }
    return false;
}
} // namespace

void Install() {
    if (Utf8Locale())
        return;
    // LANG=de_DE.UTF-8 without that locale installed: the terminal still
    // shows UTF-8.
    if (Utf8Named() && std::setlocale(LC_CTYPE, "C.UTF-8"))
        return;
    // The original streams stay open beneath the filters, which write to
    // them; stdout keeps full buffering, stderr none.
    stdout = Filtered(stdout, _IOFBF);
    stderr = Filtered(stderr, _IONBF);
}

} // namespace Terminal

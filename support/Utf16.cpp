#include "support/Utf16.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace Utf16 {
namespace {

// Widths and precisions stop growing here.
constexpr int kMaxField = 100000;

// Appends to a bounded buffer (never past capacity - 1 units, the rest is the
// terminator's) or to a text (at most capacity units); counts what is written.
struct Sink {
    char16_t* out;
    size_t capacity;
    size_t used = 0;
    std::u16string* text = nullptr;

    void Put(char16_t c) {
        if (text) {
            if (used < capacity) {
                text->push_back(c);
                ++used;
            }
        } else if (used + 1 < capacity) {
            out[used++] = c;
        }
    }
    bool Full() const { return text ? used >= capacity : used + 1 >= capacity; }
    void Repeat(char16_t c, int n) {
        for (int i = 0; i < n; ++i)
            Put(c);
    }
};

struct Conversion {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
};

void PutPadded(Sink& sink, const Conversion& conv, const char16_t* body, size_t length,
               const char16_t* prefix = u"", bool numeric = false) {
    size_t prefixLength = Length(prefix);
    int pad = conv.width - static_cast<int>(length + prefixLength);
    if (pad < 0)
        pad = 0;
    if (!conv.left && !(numeric && conv.zero))
        sink.Repeat(u' ', pad);
    for (size_t i = 0; i < prefixLength; ++i)
        sink.Put(prefix[i]);
    if (!conv.left && numeric && conv.zero)
        sink.Repeat(u'0', pad);
    for (size_t i = 0; i < length; ++i)
        sink.Put(body[i]);
    if (conv.left)
        sink.Repeat(u' ', pad);
}

void PutInteger(Sink& sink, Conversion conv, uint64_t magnitude, bool negative, unsigned base,
                bool upper) {
    char16_t digits[32];
    size_t n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    while (magnitude != 0) {
        digits[n++] = static_cast<char16_t>(set[magnitude % base]);
        magnitude /= base;
    }
    // Precision gives the minimum number of digits; "%.0d" of 0 prints nothing.
    int minDigits = conv.precision < 0 ? 1 : conv.precision;
    char16_t body[160];
    size_t length = 0;
    int zeros = minDigits - static_cast<int>(n);
    if (zeros > 120)
        zeros = 120;
    for (int i = 0; i < zeros; ++i)
        body[length++] = u'0';
    while (n > 0)
        body[length++] = digits[--n];
    if (conv.precision >= 0)
        conv.zero = false;
    const char16_t* prefix = u"";
    if (negative)
        prefix = u"-";
    else if (conv.plus && base == 10)
        prefix = u"+";
    else if (conv.space && base == 10)
        prefix = u" ";
    else if (conv.alt && base == 16 && length > 0 && !(length == 1 && body[0] == u'0'))
        prefix = upper ? u"0X" : u"0x";
    PutPadded(sink, conv, body, length, prefix, true);
}

// A text pointer the formatter may read: not null and aligned for char16_t
// (a misaligned pointer is taken as no text rather than read unaligned).
bool Readable(const char16_t* s) {
    return s && reinterpret_cast<uintptr_t>(s) % alignof(char16_t) == 0;
}

// The arguments of a call with a va_list: each directive takes the next
// argument as the type it names, so the format must fit what was passed.
// Catalogue entries are checked against the arguments of their index when
// the catalogue is loaded, which is what makes that hold for them.
class VaSource {
  public:
    explicit VaSource(va_list args) { va_copy(list, args); }
    ~VaSource() { va_end(list); }
    VaSource(const VaSource&) = delete;
    VaSource& operator=(const VaSource&) = delete;

    bool Int(int& v) {
        v = va_arg(list, int);
        return true;
    }
    bool Signed(int longs, int64_t& v) {
        v = longs >= 2   ? va_arg(list, long long)
            : longs == 1 ? va_arg(list, long)
                         : va_arg(list, int);
        return true;
    }
    bool Unsigned(int longs, uint64_t& v) {
        v = longs >= 2   ? va_arg(list, unsigned long long)
            : longs == 1 ? va_arg(list, unsigned long)
                         : va_arg(list, unsigned int);
        return true;
    }
    bool Wide(const char16_t*& s) {
        s = va_arg(list, const char16_t*);
        return true;
    }
    bool Narrow(const char*& s) {
        s = va_arg(list, const char*);
        return true;
    }

  private:
    va_list list;
};

// Typed arguments: a directive gets the next argument only when that
// argument is of its kind; otherwise it is written as it stands and nothing
// is read, so no text can make the formatter read past the arguments or read
// one as another type.
class TypedSource {
  public:
    TypedSource(const Argument* args, size_t count) : args(args), count(count) {}

    bool Int(int& v) {
        int64_t wide = 0;
        if (!Signed(0, wide))
            return false;
        v = static_cast<int>(wide);
        return true;
    }
    bool Signed(int, int64_t& v) {
        if (!Next(Argument::kNumber))
            return false;
        v = args[used++].number;
        return true;
    }
    bool Unsigned(int, uint64_t& v) {
        if (!Next(Argument::kNumber))
            return false;
        v = static_cast<uint64_t>(args[used++].number);
        return true;
    }
    bool Wide(const char16_t*& s) {
        if (!Next(Argument::kWide))
            return false;
        s = args[used++].wide;
        return true;
    }
    bool Narrow(const char*& s) {
        if (!Next(Argument::kNarrow))
            return false;
        s = args[used++].narrow;
        return true;
    }

  private:
    bool Next(Argument::Kind kind) const { return used < count && args[used].kind == kind; }
    const Argument* args;
    size_t count;
    size_t used = 0;
};

// Copies a directive that gets no argument as it stands.
void PutVerbatim(Sink& sink, const char16_t* start, const char16_t* end) {
    for (const char16_t* q = start; q <= end && *q; ++q)
        sink.Put(*q);
}

template <class Source> size_t Run(Sink& sink, const char16_t* format, Source& source) {
    if (!Readable(format))
        return 0;
    for (const char16_t* p = format; *p; ++p) {
        if (*p != u'%') {
            sink.Put(*p);
            continue;
        }
        const char16_t* start = p++;
        Conversion conv;
        for (;; ++p) {
            if (*p == u'-')
                conv.left = true;
            else if (*p == u'+')
                conv.plus = true;
            else if (*p == u' ')
                conv.space = true;
            else if (*p == u'#')
                conv.alt = true;
            else if (*p == u'0')
                conv.zero = true;
            else
                break;
        }
        bool fed = true;
        if (*p == u'*') {
            fed = source.Int(conv.width);
            if (conv.width < 0) {
                conv.left = true;
                conv.width = conv.width == INT_MIN ? kMaxField : -conv.width;
            }
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9' && conv.width < kMaxField)
                conv.width = conv.width * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            conv.precision = 0;
            if (*p == u'*') {
                fed = source.Int(conv.precision) && fed;
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9' && conv.precision < kMaxField)
                    conv.precision = conv.precision * 10 + (*p++ - u'0');
            }
        }
        conv.width = conv.width > kMaxField ? kMaxField : conv.width;
        conv.precision = conv.precision > kMaxField ? kMaxField : conv.precision;
        int longs = 0;
        bool narrow = false;
        for (;; ++p) {
            if (*p == u'l')
                ++longs;
            else if (*p == u'h')
                narrow = true;
            else if (*p == u'z' || *p == u'j' || *p == u't')
                longs = 2;
            else
                break;
        }
        if (!fed) {
            PutVerbatim(sink, start, p);
            if (!*p)
                --p;
            continue;
        }
        switch (*p) {
        case u'%':
            sink.Put(u'%');
            break;
        case u'c': {
            int v = 0;
            if (!source.Int(v)) {
                PutVerbatim(sink, start, p);
                break;
            }
            char16_t c = static_cast<char16_t>(v);
            PutPadded(sink, conv, &c, 1);
            break;
        }
        case u'd':
        case u'i': {
            int64_t v = 0;
            if (!source.Signed(longs, v)) {
                PutVerbatim(sink, start, p);
                break;
            }
            uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            PutInteger(sink, conv, magnitude, v < 0, 10, false);
            break;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            uint64_t v = 0;
            if (!source.Unsigned(longs, v)) {
                PutVerbatim(sink, start, p);
                break;
            }
            unsigned base = *p == u'u' ? 10 : *p == u'o' ? 8 : 16;
            PutInteger(sink, conv, v, false, base, *p == u'X');
            break;
        }
        case u's':
        case u'S': {
            std::u16string converted;
            const char16_t* s = nullptr;
            if (narrow) {
                const char* n = nullptr;
                if (!source.Narrow(n)) {
                    PutVerbatim(sink, start, p);
                    break;
                }
                converted = n ? FromMultibyte(n, std::strlen(n)) : std::u16string(u"(null)");
                s = converted.c_str();
            } else {
                if (!source.Wide(s)) {
                    PutVerbatim(sink, start, p);
                    break;
                }
                if (!Readable(s))
                    s = u"(null)";
            }
            size_t length = Length(s);
            if (conv.precision >= 0 && static_cast<size_t>(conv.precision) < length)
                length = static_cast<size_t>(conv.precision);
            PutPadded(sink, conv, s, length);
            break;
        }
        default:
            // An unknown directive is copied as it stands.
            PutVerbatim(sink, start, p);
            if (!*p)
                --p;
            break;
        }
        if (sink.Full())
            break;
    }
    return sink.used;
}

} // namespace

size_t Length(const char16_t* s) {
    size_t n = 0;
    if (s)
        while (s[n])
            ++n;
    return n;
}

size_t FormatV(char16_t* out, size_t capacity, const char16_t* format, va_list args) {
    if (!out || capacity == 0)
        return 0;
    Sink sink{out, capacity};
    VaSource source(args);
    Run(sink, format, source);
    out[sink.used] = 0;
    return sink.used;
}

size_t Format(char16_t* out, size_t capacity, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    size_t n = FormatV(out, capacity, format, args);
    va_end(args);
    return n;
}

size_t FormatArguments(char16_t* out, size_t capacity, const char16_t* format, const Argument* args,
                       size_t count) {
    if (!out || capacity == 0)
        return 0;
    Sink sink{out, capacity};
    TypedSource source(args, args ? count : 0);
    Run(sink, format, source);
    out[sink.used] = 0;
    return sink.used;
}

std::u16string FormatString(const char16_t* format, ...) {
    std::u16string text;
    Sink sink{nullptr, kMaxStringUnits};
    sink.text = &text;
    va_list args;
    va_start(args, format);
    {
        VaSource source(args);
        Run(sink, format, source);
    }
    va_end(args);
    return text;
}

namespace {
void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}
} // namespace

std::u16string FromMultibyte(const char* bytes, size_t count) {
    std::u16string out;
    if (!bytes)
        return out;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < count) {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, bytes + i, count - i, &state);
        if (n == 0) { // an embedded NUL byte
            out.push_back(0);
            ++i;
        } else if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            // A byte the locale cannot convert keeps its value.
            out.push_back(static_cast<unsigned char>(bytes[i]));
            ++i;
            state = std::mbstate_t{};
        } else {
            AppendCodePoint(out, static_cast<char32_t>(wc));
            i += n;
        }
    }
    return out;
}

std::u16string FromMultibyte(const std::string& bytes) {
    return FromMultibyte(bytes.data(), bytes.size());
}

bool ToMultibyte(const char16_t* text, std::string& out) {
    out.clear();
    if (!text)
        return true;
    std::mbstate_t state{};
    for (size_t i = 0; text[i]; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        char buffer[MB_LEN_MAX];
        size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
        if (n != static_cast<size_t>(-1)) {
            // The byte rule must round-trip: a character below 0x100 that the
            // locale writes as several bytes but reads back otherwise keeps its byte.
            out.append(buffer, n);
        } else if (c <= 0xFF) {
            out.push_back(static_cast<char>(c));
            state = std::mbstate_t{};
        } else {
            return false;
        }
    }
    return true;
}

std::u16string FromUtf8(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= utf8.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(b);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(utf8[i + k]);
            if ((t & 0xC0) != 0x80)
                ok = false;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out.push_back(b);
            ++i;
            continue;
        }
        AppendCodePoint(out, c);
        i += extra + 1;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

} // namespace Utf16

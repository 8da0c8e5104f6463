// What the library passes to each catalogue entry that takes arguments, and
// the check of an entry's printf directives against it. The catalogue
// compiler and the catalogue reader use this one table, so an entry that the
// compiler accepts is one the reader accepts, and a catalogue that reaches the
// formatter never asks for an argument that was not passed or for another type.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace CatalogueSignatures {
// Argument kinds, one letter per argument in order: 'n' a number (%d %i %u
// %x %X), 'w' a wide text (%ls), 'a' a narrow text (%hs).
constexpr char kNumber = 'n';
constexpr char kWide = 'w';
constexpr char kNarrow = 'a';

// Widths and precisions of catalogue directives have at most this many digits.
constexpr size_t kMaxFieldDigits = 2;

// The arguments the library passes to the entry at index; "" for a plain text.
const char* Arguments(uint32_t index);

// The argument kinds that the directives of text (length code units, no
// terminator needed) ask for. False with a reason, worded to follow "entry N ",
// when a directive is not one catalogue entries may use: "%%", "%c", "%s" without "l" or "h", "*",
// length modifiers on numbers, widths or precisions over two digits, or a
// "%" that ends the text.
bool Directives(const char16_t* text, size_t length, std::string& kinds, std::string& error);

// True when the directives of text are exactly the arguments of index; else
// false with a reason worded to follow "entry N ".
bool Fits(uint32_t index, const char16_t* text, size_t length, std::string& error);
} // namespace CatalogueSignatures

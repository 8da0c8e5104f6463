#include "config/LineFile.h"

#include <cstring>
#include <new>
#include <string_view>

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\0';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
} // namespace

LineFile::~LineFile() {
    Close();
}

void LineFile::Close() {
    if (file)
        std::fclose(file);
    file = nullptr;
    m_NumLines = 0;
    m_Offset.reset();
    m_Length.reset();
    m_CacheSize = 0;
    m_Cache.reset();
    quoted.reset();
}

bool LineFile::Open(const char* path) {
    Close();
    if (!path)
        return false;
    file = std::fopen(path, "rb");
    if (!file)
        return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size <= 0 || static_cast<unsigned long>(size) > kMaxFileBytes ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    m_CacheSize = static_cast<size_t>(size);
    m_Cache.reset(new (std::nothrow) char[m_CacheSize + 1]());
    if (!m_Cache || std::fread(m_Cache.get(), 1, m_CacheSize, file) != m_CacheSize) {
        Close();
        return false;
    }
    char* cache = m_Cache.get();

    // Count the lines: a pair CR LF or LF CR ends one line together.
    uint32_t lines = 0;
    for (size_t i = 0; i < m_CacheSize; ++i) {
        if (!IsLineEnd(cache[i]))
            continue;
        ++lines;
        if (i + 1 < m_CacheSize && IsLineEnd(cache[i + 1]) && cache[i + 1] != cache[i])
            ++i;
    }
    if (!IsLineEnd(cache[m_CacheSize - 1]))
        ++lines;
    m_Offset.reset(new (std::nothrow) size_t[lines]);
    m_Length.reset(new (std::nothrow) uint32_t[lines]);
    if (!m_Offset || !m_Length) {
        Close();
        return false;
    }

    // Split: each line end becomes zero bytes, so every line is a string.
    size_t start = 0;
    uint32_t line = 0;
    for (size_t i = 0; i < m_CacheSize; ++i) {
        if (!IsLineEnd(cache[i]))
            continue;
        m_Offset[line] = start;
        m_Length[line] = static_cast<uint32_t>(i - start);
        ++line;
        const char end = cache[i];
        cache[i] = '\0';
        if (i + 1 < m_CacheSize && IsLineEnd(cache[i + 1]) && cache[i + 1] != end)
            cache[++i] = '\0';
        start = i + 1;
    }
    if (line < lines) {
        m_Offset[line] = start;
        m_Length[line] = static_cast<uint32_t>(m_CacheSize - start);
    }
    m_NumLines = lines;
    return true;
}

const char* LineFile::GetLine(uint32_t index) const {
    return Valid(index) ? m_Cache.get() + m_Offset[index] : nullptr;
}

uint32_t LineFile::GetLineLength(uint32_t index) const {
    return Valid(index) ? m_Length[index] : 0;
}

void LineFile::TrimLeft(uint32_t index) {
    if (!Valid(index))
        return;
    char* cache = m_Cache.get();
    while (m_Length[index] > 0 && IsBlank(cache[m_Offset[index]])) {
        cache[m_Offset[index]] = '\0';
        ++m_Offset[index];
        --m_Length[index];
    }
}

void LineFile::TrimRight(uint32_t index) {
    if (!Valid(index))
        return;
    char* line = m_Cache.get() + m_Offset[index];
    while (m_Length[index] > 0 && IsBlank(line[m_Length[index] - 1]))
        line[--m_Length[index]] = '\0';
}

void LineFile::TrimAll() {
    for (uint32_t i = 0; i < m_NumLines; ++i) {
        TrimLeft(i);
        TrimRight(i);
    }
}

void LineFile::CutAtSequence(const char* sequence, uint32_t index) {
    if (!Valid(index) || !sequence || !*sequence)
        return;
    char* line = m_Cache.get() + m_Offset[index];
    const size_t at = std::string_view(line, m_Length[index]).find(sequence);
    if (at == std::string_view::npos)
        return;
    std::memset(line + at, 0, m_Length[index] - at);
    m_Length[index] = static_cast<uint32_t>(at);
}

void LineFile::CutAllAtSequence(const char* sequence) {
    for (uint32_t i = 0; i < m_NumLines; ++i)
        CutAtSequence(sequence, i);
}

bool LineFile::Contains(uint32_t index, const char* text) const {
    if (!Valid(index) || !text)
        return false;
    return std::string_view(GetLine(index), m_Length[index]).find(text) != std::string_view::npos;
}

const char* LineFile::GetQuotedString(uint32_t index, char delimiter) {
    quoted.reset();
    quotedLength = 0;
    if (!Valid(index) || delimiter == '\0')
        return nullptr;
    const std::string_view line(GetLine(index), m_Length[index]);
    const size_t first = line.find(delimiter);
    if (first == std::string_view::npos)
        return nullptr;
    const size_t second = line.find(delimiter, first + 1);
    if (second == std::string_view::npos)
        return nullptr;
    const size_t length = second - first - 1;
    quoted.reset(new (std::nothrow) char[length + 1]);
    if (!quoted)
        return nullptr;
    std::memcpy(quoted.get(), line.data() + first + 1, length);
    quoted[length] = '\0';
    quotedLength = static_cast<uint32_t>(length);
    return quoted.get();
}

void LineFile::RemoveBlanks(uint32_t index) {
    if (!Valid(index))
        return;
    char* line = m_Cache.get() + m_Offset[index];
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m_Length[index]; ++i)
        if (line[i] != ' ' && line[i] != '\t')
            line[kept++] = line[i];
    std::memset(line + kept, 0, m_Length[index] - kept);
    m_Length[index] = kept;
}

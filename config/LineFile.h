// A text file read whole into memory and split into lines, with the in-place
// line edits the configuration reader needs: cutting comments, trimming
// blanks, searching, taking a quoted text and removing blanks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

class LineFile {
  public:
    LineFile() = default;
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Reads the whole file and splits it at CR, LF, CR LF and LF CR. False
    // for a file that cannot be opened, is empty, too large or cannot be read.
    bool Open(const char* path);

    // Every operation on a line index not below GetNumLines, or before a
    // successful Open, does nothing and gives null, false or 0.
    uint32_t GetNumLines() const { return m_NumLines; }
    const char* GetLine(uint32_t index) const;
    uint32_t GetLineLength(uint32_t index) const;

    // Blanks are spaces, tabs and zero bytes.
    void TrimLeft(uint32_t index);
    void TrimRight(uint32_t index);
    void TrimAll();
    // Cuts the line at the first occurrence of the sequence.
    void CutAtSequence(const char* sequence, uint32_t index);
    void CutAllAtSequence(const char* sequence);
    bool Contains(uint32_t index, const char* text) const;
    // The text between the first two delimiters of the line, or null; valid
    // until the next call or the destruction of the file.
    const char* GetQuotedString(uint32_t index, char delimiter);
    // The length of the last quoted text (it may hold zero bytes of the file).
    uint32_t GetQuotedLength() const { return quotedLength; }
    // Removes every space and tab inside the line.
    void RemoveBlanks(uint32_t index);

    // A configuration file holds one FRU of at most a few kilobytes; larger
    // files are refused rather than read into memory.
    static constexpr size_t kMaxFileBytes = 16u << 20;

  private:
    void Close();
    bool Valid(uint32_t index) const { return m_Cache && index < m_NumLines; }

    std::FILE* file = nullptr;
    uint32_t m_NumLines = 0;
    std::unique_ptr<size_t[]> m_Offset;
    std::unique_ptr<uint32_t[]> m_Length;
    size_t m_CacheSize = 0;
    std::unique_ptr<char[]> m_Cache;
    std::unique_ptr<char[]> quoted;
    uint32_t quotedLength = 0;
};

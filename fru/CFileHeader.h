// The four header texts of the configuration file a FRU was read from.
#pragma once

class CFileHeader {
  public:
    CFileHeader() = default;
    ~CFileHeader();
    CFileHeader(const CFileHeader&) = delete;
    CFileHeader& operator=(const CFileHeader&) = delete;

    // Each setter keeps a copy; false for a null text or a failed copy.
    bool SetLfName(const char* text) { return Replace(LfName, text); }
    bool SetLfVersion(const char* text) { return Replace(LfVersion, text); }
    bool SetLfFmtVersion(const char* text) { return Replace(LfFmtVersion, text); }
    bool SetIpmiVersion(const char* text) { return Replace(IpmiVersion, text); }
    const char* GetLfName() const { return LfName; }
    const char* GetLfVersion() const { return LfVersion; }
    const char* GetLfFmtVersion() const { return LfFmtVersion; }
    const char* GetIpmiVersion() const { return IpmiVersion; }

  private:
    static bool Replace(char*& field, const char* text);

    char* LfName = nullptr;
    char* LfVersion = nullptr;
    char* LfFmtVersion = nullptr;
    char* IpmiVersion = nullptr;
};

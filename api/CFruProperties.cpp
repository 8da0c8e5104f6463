#include "api/CFruProperties.h"

#include "api/LibraryState.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"
#include "system/FruTransfer.h"

#include <cstring>
#include <new>

namespace {
char16_t* Copy(const char16_t* text) {
    size_t length = Utf16::Length(text);
    char16_t* copy = new (std::nothrow) char16_t[length + 1];
    if (copy)
        std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    return copy;
}
} // namespace

CFruProperties::~CFruProperties() {
    delete[] m_IpmiVersionString;
    delete[] m_NumberOfFrusString;
    delete[] m_NumberOfIpmiFrusString;
}

void CFruProperties::SetIpmiVersion(uint8_t version) {
    ORV_ENTRY(u"CFruProperties::SetIpmiVersion");
    m_IpmiVersion = version;
    ORV_EXIT(u"CFruProperties::SetIpmiVersion");
}

uint8_t CFruProperties::GetIpmiVersion() const {
    ORV_ENTRY(u"CFruProperties::GetIpmiVersion");
    ORV_EXIT(u"CFruProperties::GetIpmiVersion");
    return m_IpmiVersion;
}

void CFruProperties::SetIpmiVersionString(const char16_t* text) {
    ORV_ENTRY(u"CFruProperties::SetIpmiVersionString");
    if (text) {
        delete[] m_IpmiVersionString;
        m_IpmiVersionString = Copy(text);
    }
    ORV_EXIT(u"CFruProperties::SetIpmiVersionString");
}

const char16_t* CFruProperties::GetIpmiVersionString() const {
    ORV_ENTRY(u"CFruProperties::GetIpmiVersionString");
    ORV_EXIT(u"CFruProperties::GetIpmiVersionString");
    return m_IpmiVersionString;
}

const char16_t* CFruProperties::GetNumberOfFrusString() const {
    ORV_ENTRY(u"CFruProperties::GetNumberOfFrusString");
    ORV_EXIT(u"CFruProperties::GetNumberOfFrusString");
    return m_NumberOfFrusString;
}

const char16_t* CFruProperties::GetNumberOfIpmiFrusString() const {
    ORV_ENTRY(u"CFruProperties::GetNumberOfIpmiFrusString");
    ORV_EXIT(u"CFruProperties::GetNumberOfIpmiFrusString");
    return m_NumberOfIpmiFrusString;
}

void CFruProperties::SetNumberOfFrus(uint8_t count) {
    ORV_ENTRY(u"CFruProperties::SetNumberOfFrus");
    m_NumberOfFrus = count;
    SetStringFromNumber(count, m_NumberOfFrusString);
    ORV_EXIT(u"CFruProperties::SetNumberOfFrus");
}

void CFruProperties::SetNumberOfIpmiFrus(uint8_t count) {
    ORV_ENTRY(u"CFruProperties::SetNumberOfIpmiFrus");
    m_NumberOfIpmiFrus = count;
    SetStringFromNumber(count, m_NumberOfIpmiFrusString);
    ORV_EXIT(u"CFruProperties::SetNumberOfIpmiFrus");
}

void CFruProperties::SetStringFromNumber(int32_t number, char16_t*& slot) {
    ORV_ENTRY(u"CFruProperties::SetStringFromNumber");
    delete[] slot;
    slot = nullptr;
    char16_t text[8];
    Utf16::Format(text, sizeof text / sizeof text[0], u"%i", number);
    slot = Copy(text);
    ORV_EXIT(u"CFruProperties::SetStringFromNumber");
}

namespace FruUtility {
uint32_t InitializeFruProperties(CFruProperties& properties) {
    ORV_ENTRY(u"FruUtility::InitializeFruProperties");
    properties.SetNumberOfFrus(0);
    properties.SetNumberOfIpmiFrus(0);
    properties.SetIpmiVersion(GetIPMIRevision());
    properties.SetNumberOfFrus(static_cast<uint8_t>(Globals::state->locatorList->GetCount()));
    properties.SetNumberOfIpmiFrus(static_cast<uint8_t>(Globals::state->systemList->GetCount()));
    properties.SetIpmiVersionString(Frame::GetString(
        properties.GetIpmiVersion() == 0x01 ? kMsgIpmiVersion10 : kMsgIpmiVersion15));
    ORV_EXIT(u"FruUtility::InitializeFruProperties");
    return 0;
}
} // namespace FruUtility

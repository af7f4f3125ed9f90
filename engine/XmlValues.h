#pragma once
// Owners of the texts and variants that MSXML hands out, for the readers of comment documents.
//
// Thread use: plain values; each on one thread at a time.

#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cwchar>
#include <string>

namespace xml_values {

const IID kIidXmlDomElement = {0x2933bf86, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : m_value(SysAllocString(text)) {}
    // Null when the text is too long for a BSTR.
    Bstr(const wchar_t* text, size_t length)
        : m_value(length <= UINT_MAX ? SysAllocStringLen(text, static_cast<UINT>(length)) : nullptr) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(m_value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_value; }
    BSTR* Out() {
        SysFreeString(m_value);
        m_value = nullptr;
        return &m_value;
    }
    std::wstring Text() const { return m_value ? std::wstring(m_value, SysStringLen(m_value)) : std::wstring(); }
    bool Is(const wchar_t* text) const { return m_value != nullptr && wcscmp(m_value, text) == 0; }

private:
    BSTR m_value = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Out() {
        VariantClear(&m_value);
        return &m_value;
    }
    VARIANT& Get() { return m_value; }
    // The text it holds; null when it holds none.
    const wchar_t* Text() const { return m_value.vt == VT_BSTR && m_value.bstrVal ? m_value.bstrVal : nullptr; }
    UINT Length() const { return m_value.vt == VT_BSTR ? SysStringLen(m_value.bstrVal) : 0; }
    std::wstring String() const { return Text() != nullptr ? std::wstring(Text(), Length()) : std::wstring(); }

private:
    VARIANT m_value;
};

} // namespace xml_values

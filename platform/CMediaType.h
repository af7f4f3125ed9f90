#pragma once
// Media types: AM_MEDIA_TYPE with value semantics (the format block and pUnk are owned and copied),
// and the free functions for types handed across COM (allocated with CoTaskMemAlloc). pUnk stays a
// plain pointer counted by these functions: the structure is the system's and is copied bytewise.
//
// Thread use: any thread; one object is not shared between threads without a lock.

#include <windows.h>

#include <dshow.h>

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    CMediaType(const AM_MEDIA_TYPE& type);
    CMediaType(const CMediaType& type);
    CMediaType& operator=(const AM_MEDIA_TYPE& type);
    CMediaType& operator=(const CMediaType& type);
    ~CMediaType();

    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }

    // False for an empty type, also after a copy that could not get its format block.
    bool IsValid() const { return majortype != GUID_NULL; }
    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }

    void SetType(const GUID* type) { majortype = *type; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    void SetSampleSize(ULONG size);
    void SetTemporalCompression(bool compressed) { bTemporalCompression = compressed ? TRUE : FALSE; }

    // A zeroed format block of length bytes (the old one freed); null when out of memory.
    BYTE* AllocFormatBuffer(ULONG length);
    // Frees everything and returns to the empty type.
    void Reset();
    // Major type, subtype or format type left open (GUID_NULL) for a connection to fill in.
    bool IsPartiallySpecified() const;
    // This type, where it is specified, matches the other.
    bool MatchesPartial(const CMediaType& other) const;

private:
    void InitEmpty();
};

// Frees the format block and pUnk of a type (the structure itself stays).
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees a type made with CreateMediaType, structure and all.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy into target (whose old contents are not freed); E_OUTOFMEMORY without a format block.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A CoTaskMemAlloc'd deep copy, or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

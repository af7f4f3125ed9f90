#include "platform/CMediaType.h"

#include <cstring>

void FreeMediaType(AM_MEDIA_TYPE& type) {
    if (type.cbFormat != 0) {
        CoTaskMemFree(type.pbFormat);
        type.cbFormat = 0;
    }
    type.pbFormat = nullptr;
    if (type.pUnk != nullptr) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) {
        return;
    }
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    *target = *source;
    if (source->cbFormat != 0 && source->pbFormat != nullptr) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            target->cbFormat = 0;
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    if (target->pUnk != nullptr) {
        target->pUnk->AddRef();
    }
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) {
        return nullptr;
    }
    if (source == nullptr) {
        std::memset(type, 0, sizeof(*type));
        return type;
    }
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

CMediaType::CMediaType() {
    InitEmpty();
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& type) {
    InitEmpty();
    *this = type;
}

CMediaType::CMediaType(const CMediaType& type) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(type)) {}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& type) {
    if (&type == static_cast<AM_MEDIA_TYPE*>(this)) {
        return *this;
    }
    FreeMediaType(*this);
    if (FAILED(CopyMediaType(this, &type))) {
        // A type without its format block would describe nothing; leave it empty and invalid.
        InitEmpty();
    }
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& type) {
    return *this = static_cast<const AM_MEDIA_TYPE&>(type);
}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

void CMediaType::InitEmpty() {
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
    lSampleSize = 1;
    bFixedSizeSamples = TRUE;
}

void CMediaType::Reset() {
    FreeMediaType(*this);
    InitEmpty();
}

bool CMediaType::operator==(const CMediaType& other) const {
    return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
           cbFormat == other.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

void CMediaType::SetSampleSize(ULONG size) {
    if (size == 0) {
        bFixedSizeSamples = FALSE;
        lSampleSize = 0;
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = size;
    }
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    if (length == cbFormat && pbFormat != nullptr) {
        std::memset(pbFormat, 0, length);
        return pbFormat;
    }
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (block == nullptr) {
        return nullptr;
    }
    std::memset(block, 0, length);
    if (cbFormat != 0) {
        CoTaskMemFree(pbFormat);
    }
    pbFormat = block;
    cbFormat = length;
    return block;
}

bool CMediaType::IsPartiallySpecified() const {
    return majortype == GUID_NULL || subtype == GUID_NULL || formattype == GUID_NULL;
}

bool CMediaType::MatchesPartial(const CMediaType& other) const {
    if (majortype != GUID_NULL && majortype != other.majortype) {
        return false;
    }
    if (subtype != GUID_NULL && subtype != other.subtype) {
        return false;
    }
    if (formattype != GUID_NULL) {
        if (formattype != other.formattype || cbFormat != other.cbFormat) {
            return false;
        }
        if (cbFormat != 0 && std::memcmp(pbFormat, other.pbFormat, cbFormat) != 0) {
            return false;
        }
    }
    return true;
}

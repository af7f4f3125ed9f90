#pragma once
// Counts the live objects of the filter base (filters, pins, enumerators), so that a leak of a
// reference shows as a count that does not return to zero.
//
// Thread use: any thread.

#include <windows.h>

class CBaseObject {
public:
    CBaseObject();
    virtual ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    static LONG ObjectCount();
};

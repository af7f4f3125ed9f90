#include "platform/CBaseObject.h"

namespace {
volatile LONG g_objectCount = 0;
}

CBaseObject::CBaseObject() {
    InterlockedIncrement(&g_objectCount);
}

CBaseObject::~CBaseObject() {
    InterlockedDecrement(&g_objectCount);
}

LONG CBaseObject::ObjectCount() {
    return InterlockedCompareExchange(&g_objectCount, 0, 0);
}

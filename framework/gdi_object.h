// Base of the GDI wrappers: holds one GDI object and deletes it when done. Stock objects are
// held borrowed and never deleted.
#pragma once

#include <windows.h>

#include "framework/unique_handle.h"

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_object.get(); }
    // Takes ownership of `object`; false (and nothing taken) when one is already held.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach() { return m_object.release(); }
    // Deletes the held object (a borrowed one is only let go); false when there was none.
    BOOL DeleteObject();
    BOOL CreateStockObject(int index);
    int GetObject(int size, void* buffer) const;
    BOOL UnrealizeObject();

private:
    UniqueGdiObject m_object;
};

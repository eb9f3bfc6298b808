// Base of the GDI wrappers: owns one GDI object and deletes it when done. Stock objects are
// held but never deleted.
#pragma once

#include <windows.h>

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Takes ownership of `object`; false (and nothing taken) when one is already held.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    // Deletes the held object; false when there was none.
    BOOL DeleteObject();
    BOOL CreateStockObject(int index);
    int GetObject(int size, void* buffer) const;
    BOOL UnrealizeObject();

protected:
    HGDIOBJ m_hObject = nullptr;

private:
    bool m_owned = false;
};

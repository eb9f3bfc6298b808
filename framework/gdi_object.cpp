#include "framework/gdi_object.h"

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (object == nullptr || m_object) {
        return FALSE;
    }
    m_object.reset(object);
    return TRUE;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_object) {
        return FALSE;
    }
    m_object.reset();
    return TRUE;
}

BOOL CGdiObject::CreateStockObject(int index) {
    if (m_object) {
        return FALSE;
    }
    m_object.reset(::GetStockObject(index), Ownership::kBorrowed);
    return m_object ? TRUE : FALSE;
}

int CGdiObject::GetObject(int size, void* buffer) const {
    return m_object ? ::GetObjectA(m_object.get(), size, buffer) : 0;
}

BOOL CGdiObject::UnrealizeObject() {
    return m_object ? ::UnrealizeObject(m_object.get()) : FALSE;
}

#include "framework/gdi_object.h"

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (object == nullptr || m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = object;
    m_owned = true;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    m_owned = false;
    return object;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) {
        return FALSE;
    }
    const bool owned = m_owned;
    HGDIOBJ object = Detach();
    return owned ? ::DeleteObject(object) : TRUE;
}

BOOL CGdiObject::CreateStockObject(int index) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = ::GetStockObject(index);
    m_owned = false;
    return m_hObject != nullptr;
}

int CGdiObject::GetObject(int size, void* buffer) const {
    return m_hObject != nullptr ? ::GetObjectA(m_hObject, size, buffer) : 0;
}

BOOL CGdiObject::UnrealizeObject() {
    return m_hObject != nullptr ? ::UnrealizeObject(m_hObject) : FALSE;
}

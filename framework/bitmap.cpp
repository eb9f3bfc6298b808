#include "framework/bitmap.h"

#include "framework/dc.h"

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    if (dc == nullptr || dc->GetSafeHdc() == nullptr) {
        return FALSE;
    }
    return Attach(::CreateCompatibleBitmap(dc->GetSafeHdc(), width, height));
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                           const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

BOOL CBitmap::LoadBitmap(UINT resourceId) {
    return Attach(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId),
                               IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

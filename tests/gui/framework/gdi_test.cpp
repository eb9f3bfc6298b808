// GDI and DC wrappers give back what they own, and only that; the text type formats any
// length.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/bitmap.h"
#include "framework/brush.h"
#include "framework/client_dc.h"
#include "framework/cstring.h"
#include "framework/font.h"
#include "framework/memory_dc.h"
#include "framework/scoped_select_object.h"
#include "framework/unique_handle.h"

namespace {

TEST(GdiObjects, AreDeletedWithTheirWrapperButStockObjectsAreNot) {
    HGDIOBJ brushHandle = nullptr;
    HGDIOBJ bitmapHandle = nullptr;
    {
        CBrush brush(RGB(10, 20, 30));
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateBitmap(4, 4, 1, 32, nullptr));
        brushHandle = brush.GetSafeHandle();
        bitmapHandle = bitmap.GetSafeHandle();
        EXPECT_EQ(::GetObjectType(brushHandle), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(::GetObjectType(bitmapHandle), static_cast<DWORD>(OBJ_BITMAP));
        BITMAP description{};
        ASSERT_NE(bitmap.GetBitmap(&description), 0);
        EXPECT_EQ(description.bmWidth, 4);
    }
    EXPECT_EQ(::GetObjectType(brushHandle), 0u);
    EXPECT_EQ(::GetObjectType(bitmapHandle), 0u);

    {
        CBrush hollow;
        ASSERT_TRUE(hollow.CreateStockObject(NULL_BRUSH));
        EXPECT_EQ(hollow.GetSafeHandle(), ::GetStockObject(NULL_BRUSH));
    }
    LOGBRUSH stock{};
    ASSERT_NE(::GetObjectA(::GetStockObject(NULL_BRUSH), sizeof(stock), &stock), 0);
    EXPECT_EQ(stock.lbStyle, static_cast<UINT>(BS_NULL));
}

TEST(GdiObjects, AttachRefusesASecondObjectAndDetachGivesOwnershipBack) {
    CBrush brush(RGB(1, 1, 1));
    HBRUSH other = ::CreateSolidBrush(RGB(2, 2, 2));
    EXPECT_FALSE(brush.Attach(other));
    HGDIOBJ mine = brush.Detach();
    EXPECT_EQ(brush.GetSafeHandle(), nullptr);
    EXPECT_NE(::GetObjectType(mine), 0u);
    ::DeleteObject(mine);
    ::DeleteObject(other);
}

TEST(DeviceContexts, MemoryDcIsDeletedAndSelectionsArePutBack) {
    HDC memoryHandle = nullptr;
    {
        CMemoryDC memory;
        memoryHandle = memory.GetSafeHdc();
        ASSERT_NE(memoryHandle, nullptr);
        const HGDIOBJ original = ::GetCurrentObject(memoryHandle, OBJ_BITMAP);
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&memory, 8, 8));
        {
            ScopedSelectObject selected(memory, bitmap.GetSafeHandle());
            EXPECT_EQ(::GetCurrentObject(memoryHandle, OBJ_BITMAP), bitmap.GetSafeHandle());
        }
        EXPECT_EQ(::GetCurrentObject(memoryHandle, OBJ_BITMAP), original);
    }
    EXPECT_EQ(::GetObjectType(memoryHandle), 0u);
}

TEST(DeviceContexts, WrappedDcIsNotOurs) {
    CClientDC screen(static_cast<HWND>(nullptr));
    const HDC handle = screen.GetSafeHdc();
    ASSERT_NE(handle, nullptr);
    {
        CDC borrowed(handle);
        borrowed.SetBkMode(TRANSPARENT);
    }
    EXPECT_NE(::GetObjectType(handle), 0u) << "a borrowed DC outlives its wrapper";
    EXPECT_EQ(::GetBkMode(handle), TRANSPARENT);
    ::SetBkMode(handle, OPAQUE);
}

TEST(Fonts, PointFontTakesTenthsOfAPointForTheScreen) {
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(110, "MS Shell Dlg"));
    LOGFONTA description{};
    ASSERT_NE(font.GetLogFont(&description), 0);
    HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(description.lfHeight, -::MulDiv(11, pixelsPerInch, 72));
    EXPECT_STREQ(description.lfFaceName, "MS Shell Dlg");
}

TEST(Text, FormatsTheVersionAndTextsOfAnyLength) {
    CString version;
    version.Format("%.3f", static_cast<double>(3.3f));
    EXPECT_EQ(version, "3.300");

    const std::string longText(5000, 'x');
    CString formatted;
    formatted.Format("[%s] %d", longText.c_str(), 42);
    EXPECT_EQ(formatted.GetLength(), 5000 + 5);
    EXPECT_EQ(formatted.str(), "[" + longText + "] 42");
    EXPECT_EQ(formatted.Find("] 4"), 5001);
    EXPECT_EQ(formatted.Find('q'), -1);
    EXPECT_EQ(formatted.Find('x', 6000), -1);
}

TEST(Handles, UniqueHandleClosesOnceAndMovesOwnership) {
    UniqueGdiObject first(::CreateSolidBrush(RGB(3, 3, 3)));
    const HGDIOBJ handle = first.get();
    UniqueGdiObject second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), handle);
    second.reset();
    EXPECT_EQ(::GetObjectType(handle), 0u);
}

}  // namespace

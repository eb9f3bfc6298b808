// The one owning wrapper for every kind of platform handle: the traits say what "no handle" is
// and how a handle is given back to the system. A handle someone else owns (a stock object, a
// DC the window system lends for a paint) is held borrowed: used, never given back.
#pragma once

#include <windows.h>

#include <utility>

enum class Ownership { kOwned, kBorrowed };

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Ownership ownership = Ownership::kOwned)
        : owned_(ownership == Ownership::kOwned), handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : owned_(other.owned_), handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            const Ownership ownership = other.owned_ ? Ownership::kOwned : Ownership::kBorrowed;
            reset(other.release(), ownership);
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    // Whether the handle goes back to the system when this wrapper lets go of it.
    bool owns() const { return owned_ && handle_ != Traits::Invalid(); }

    // Lets go of the handle without giving it back.
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    // Gives the held handle back (when owned) and holds `handle` instead. Handing in the handle
    // already held only changes how it is held.
    void reset(Handle handle = Traits::Invalid(), Ownership ownership = Ownership::kOwned) {
        const Handle old = std::exchange(handle_, handle);
        const bool ownedOld = std::exchange(owned_, ownership == Ownership::kOwned);
        if (old != Traits::Invalid() && old != handle && ownedOld) {
            Traits::Close(old);
        }
    }

private:
    bool owned_ = true;
    Handle handle_ = Traits::Invalid();
};

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};

// A DC this program made (CreateCompatibleDC); DCs lent by GetDC or BeginPaint are borrowed.
struct DcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyIcon(h); }
};

using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueDc = UniqueHandle<DcTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;

#include "controls_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <utility>

#include "framework/memory_dc.h"
#include "framework/message_map_entries.h"
#include "framework/scoped_select_object.h"

namespace corvane::test {

COLORREF BackdropAt(int x, int y) {
    return RGB(x % 256, 100, 50 + y % 100);
}

ControlsDialog::ControlsDialog() : CDialog(IDD_TEST_CONTROLS) {}

ControlsDialog::~ControlsDialog() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

void ControlsDialog::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    const std::pair<int, CWnd*> controls[] = {
        {IDC_TEST_CANCEL, &m_btnCancel},   {IDC_TEST_NEXT, &m_btnNext},
        {IDC_TEST_BARE, &m_btnBare},       {IDC_TEST_TOGGLE, &m_btnToggle},
        {IDC_TEST_LABEL, &m_lblLabel},     {IDC_TEST_CENTRED, &m_lblCentred},
        {IDC_TEST_ROTATED, &m_lblRotated}, {IDC_TEST_LINK, &m_lblLink}};
    for (const auto& [id, control] : controls) {
        DDX_Control(exchange, id, *control);
    }
}

bool ControlsDialog::Open(int width, int height) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    backdrop_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!backdrop_) {
        return false;
    }
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = BackdropAt(x, y);
            pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    if (!Create() || !MoveWindow(0, 0, width, height, FALSE)) {
        return false;
    }
    ShowWindow(SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
    UpdateWindow();
    PumpPending();
    return true;
}

CPoint ControlsDialog::Origin(int id) const {
    CRect area;
    ::GetWindowRect(Item(id), &area);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&area), 2);
    return area.TopLeft();
}

BOOL ControlsDialog::OnEraseBkgnd(CDC& dc) {
    CRect client;
    GetClientRect(&client);
    if (plainBackdrop != CLR_INVALID) {
        dc.FillSolidRect(client, plainBackdrop);
        return TRUE;
    }
    CMemoryDC memory(&dc);
    const ScopedSelectObject select(memory, backdrop_.get());
    dc.BitBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, SRCCOPY);
    return TRUE;
}

// clang-format off
BEGIN_MESSAGE_MAP(ControlsDialog, CDialog)
    MapEraseBkgnd<&ThisClass::OnEraseBkgnd>(),
    MapCommand<IDC_TEST_CANCEL, &ThisClass::OnCancelClicked>(),
    MapCommand<IDC_TEST_NEXT, &ThisClass::OnNextClicked>(),
    MapCommand<IDC_TEST_TOGGLE, &ThisClass::OnToggleClicked>(),
    MapNotify<LABEL_CLICKED, IDC_TEST_LINK, &ThisClass::OnLabelClicked>(),
END_MESSAGE_MAP()
// clang-format on

namespace {

void DispatchOne(MSG& msg) {
    for (HWND window = msg.hwnd; window != nullptr; window = ::GetParent(window)) {
        if (CWnd* bound = CWnd::FromHandlePermanent(window);
            bound != nullptr && bound->PreTranslateMessage(&msg)) {
            return;
        }
    }
    HWND top = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top != nullptr && ::IsDialogMessageA(top, &msg)) {
        return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

}  // namespace

void PumpPending() {
    MSG msg{};
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchOne(msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (done()) {
            return true;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        // Woken by the next message; the bound only keeps a missing one from hanging the test.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                    static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                    QS_ALLINPUT);
    }
}

void CopyClient(HWND window, PixelCanvas& canvas) {
    HDC dc = ::GetDC(window);
    canvas.CopyFrom(dc, 0, 0);
    ::ReleaseDC(window, dc);
}

void Snapshot(HWND window, PixelCanvas& canvas) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpPending();
    CopyClient(window, canvas);
}

CRect FindColour(const PixelCanvas& canvas, COLORREF colour) {
    CRect box(canvas.width(), canvas.height(), -1, -1);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.At(x, y) == colour) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box.right < 0 ? CRect() : box;
}

int CountColour(const PixelCanvas& canvas, COLORREF colour) {
    int count = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            count += canvas.At(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

namespace {
void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof(input));
}
}  // namespace

void MovePointerTo(POINT screen) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (screen.x * 65535 + width / 2) / (width - 1),
              (screen.y * 65535 + height / 2) / (height - 1));
}

void ParkPointer() {
    const POINT park{::GetSystemMetrics(SM_CXSCREEN) - 10, ::GetSystemMetrics(SM_CYSCREEN) - 10};
    MovePointerTo(park);
    PumpUntil([&] {
        POINT at{};
        ::GetCursorPos(&at);
        return std::abs(at.x - park.x) <= 1 && std::abs(at.y - park.y) <= 1;
    });
    PumpPending();
}

void PressLeft() {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
}

void ReleaseLeft() {
    SendMouse(MOUSEEVENTF_LEFTUP);
}

POINT CentreOf(HWND window) {
    RECT area{};
    ::GetWindowRect(window, &area);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

HBITMAP LoadTestBitmap(UINT id) {
    return static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                             IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

}  // namespace corvane::test

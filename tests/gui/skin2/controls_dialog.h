// A test dialog carrying image buttons and labels over a backdrop whose every pixel is known,
// with the helpers the tests share: a message pump that waits for a condition, pixel
// snapshots of a control, and real mouse input.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/dialog.h"
#include "framework/rect.h"
#include "framework/unique_handle.h"
#include "skin/image_button.h"
#include "skin/label.h"
#include "tests/gui/pictures/test_resources.h"
#include "tests/gui/gui_support/pixel_canvas.h"

namespace corvane::test {

// The backdrop's colour at the dialog's client point (x, y); its green never meets the
// colours the tests draw with.
COLORREF BackdropAt(int x, int y);

class ControlsDialog : public CDialog {
public:
    ControlsDialog();
    ~ControlsDialog() override;

    // Makes and shows the dialog at the screen's top-left corner, painted.
    bool Open(int width = 480, int height = 260);
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // The control's top-left corner in the dialog's client coordinates.
    CPoint Origin(int id) const;

    CImageButton m_btnCancel;
    CImageButton m_btnNext;
    CImageButton m_btnBare;
    CImageButton m_btnToggle;
    CLabel m_lblLabel;
    CLabel m_lblCentred;
    CLabel m_lblRotated;
    CLabel m_lblLink;

    // When set, the backdrop is this one colour instead of the pattern.
    COLORREF plainBackdrop = CLR_INVALID;
    std::vector<int> clicks;     // control ids of BN_CLICKED, in order
    std::vector<NMHDR> notices;  // every WM_NOTIFY received

    DECLARE_MESSAGE_MAP()

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnEraseBkgnd(CDC& dc);
    void OnCancelClicked() { clicks.push_back(IDC_TEST_CANCEL); }
    void OnNextClicked() { clicks.push_back(IDC_TEST_NEXT); }
    void OnToggleClicked() { clicks.push_back(IDC_TEST_TOGGLE); }
    void OnLabelClicked(NMHDR& header, LRESULT&) { notices.push_back(header); }

private:
    UniqueGdiObject backdrop_;
};

// Dispatches the thread's messages as a modal loop would (pre-translation, dialog keys)
// until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
// Dispatches what is waiting now.
void PumpPending();

// Repaints `window` completely and copies its client area.
void Snapshot(HWND window, PixelCanvas& canvas);
// Copies the client area as it stands, without repainting.
void CopyClient(HWND window, PixelCanvas& canvas);

// The bounding box of the canvas's pixels of `colour` (empty when there are none).
CRect FindColour(const PixelCanvas& canvas, COLORREF colour);
int CountColour(const PixelCanvas& canvas, COLORREF colour);

// Real pointer input through the system's input queue.
void MovePointerTo(POINT screen);
// Moves the pointer to a corner no test control reaches, and waits until it is there.
void ParkPointer();
void PressLeft();
void ReleaseLeft();
POINT CentreOf(HWND window);
HBITMAP LoadTestBitmap(UINT id);

}  // namespace corvane::test

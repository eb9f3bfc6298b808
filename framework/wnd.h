// A window of ours: the handle, its message map, and thin calls over the window API. Dialogs
// bind at WM_INITDIALOG, controls by subclassing (SetWindowSubclass); both unbind at
// WM_NCDESTROY. A window object is never copied.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/message_map.h"
#include "framework/rect.h"

class CDC;
class CFont;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }  // NOLINT: implicit, as the API takes it

    // The object bound to `window`; for a window that no object of ours is bound to, a
    // stand-in that lives as long as the window does. Null for a null handle.
    static CWnd* FromHandle(HWND window);
    // The object bound to `window`, or null.
    static CWnd* FromHandlePermanent(HWND window);

    // Binds this object to an existing window so that it receives the window's messages.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Called for each message of the modal loop aimed at this window or one of its children,
    // before the dialog manager sees it; true when the message has been dealt with.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Sends a message straight through this object's window procedure.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;

    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    int GetWindowTextLength() const;

    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    CWnd* SetFocus();
    BOOL DestroyWindow();

    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    void UpdateWindow();

    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const;
    void ScreenToClient(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ClientToScreen(RECT* rect) const;
    void ClientToScreen(POINT* point) const;
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags);

    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Remove then add style bits; with `swpFlags` the frame is refreshed through SetWindowPos.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);

    void SetFont(CFont* font, BOOL redraw = TRUE);
    void SetFont(HFONT font, BOOL redraw = TRUE);
    HFONT GetFont() const;
    HICON SetIcon(HICON icon, BOOL big);

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse);
    BOOL KillTimer(UINT_PTR id);

    // Parent side of reflection, usable from a derived handler: offers the colour request to
    // the control that made it, else the default procedure answers.
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT kind);

    HWND m_hWnd = nullptr;

    static const MessageMap* GetThisMessageMap();

protected:
    virtual const MessageMap* GetMessageMap() const;
    // Every message of the window passes here; the map first, then the default procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The message map search with reflection; false when nothing handled the message.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The procedure that handles what the map leaves: the subclassed window's own.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default procedure for the message being handled right now.
    LRESULT Default();
    // Called just before the window is bound by SubclassWindow.
    virtual void PreSubclassWindow();
    // Called after the window has been destroyed and this object unbound.
    virtual void PostNcDestroy();

    // Binds a window to this object from its birth (dialogs: WM_INITDIALOG).
    void BindWindow(HWND window);

private:
    friend class CDialog;
    // noexcept: an exception must not unwind through the window system's frames, which
    // would leave it (and the instrument's update) in an unknown state; it ends the program.
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self) noexcept;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Unbind();
    // The one reflection rule: hands `message` to the control `child` under WM_REFLECT_BASE;
    // true when the control answered, with its answer in `result`.
    static bool ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result);

    MessageContext m_current{};
    bool m_subclassed = false;
    bool m_bound = false;       // in the handle map of bound windows
    bool m_ownsWindow = false;  // created by us (a dialog): destroyed with the object
};

// The handler's view of a window handle inside message thunks.
CWnd* WndFromHandle(HWND window);

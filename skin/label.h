// The wizard's text control: a static control that paints its own text in its own font and
// colours, transparently over whatever its parent drew beneath it or on an opaque (solid or
// gradient) background, double-buffered. It can blink, emboss or rotate its text and act as a
// link or as a clickable item that tells its parent. Every setter repaints at once.
#pragma once

#include <windows.h>

#include "framework/brush.h"
#include "framework/cstring.h"
#include "framework/font.h"
#include "framework/static_ctrl.h"

inline constexpr int LINK_NONE = 0;
inline constexpr int LINK_OPEN = 1;   // a click opens the link target (or the text)
inline constexpr int LINK_SHELL = 2;  // a click runs the text's default shell action

inline constexpr int BLINK_NONE = 0;
inline constexpr int BLINK_TEXT = 1;
inline constexpr int BLINK_BACKGROUND = 2;

// The WM_NOTIFY code a label with notify-parent sends when it is clicked.
inline constexpr UINT LABEL_CLICKED = WM_APP + 0x200;

class CLabel : public CStatic {
public:
    CLabel();
    ~CLabel() override;

    virtual CLabel& SetBackground(COLORREF background, COLORREF gradientEnd, BOOL gradient);
    virtual CLabel& SetTextColour(COLORREF colour);
    virtual CLabel& SetCaption(const CString& text);
    virtual CLabel& SetBold(BOOL bold);
    // Names longer than the font description holds keep their first 31 characters.
    virtual CLabel& SetFaceName(const CString& name, BYTE charSet);
    virtual CLabel& SetUnderlined(BOOL underlined);
    virtual CLabel& SetItalic(BOOL italic);
    virtual CLabel& SetPointSize(int points);
    virtual CLabel& SetSunkenEdge(BOOL sunken);
    virtual CLabel& SetBorderLine(BOOL border);
    // Adds WS_EX_TRANSPARENT either way; FALSE only brings the opaque background back.
    virtual CLabel& SetTransparentPaint(BOOL transparent);
    virtual CLabel& SetBlinkText(BOOL on);
    virtual CLabel& SetBlinkBackground(BOOL on);
    virtual CLabel& SetOpenLink(BOOL on, BOOL notifyParent);
    virtual CLabel& SetHoverCursor(HCURSOR cursor);
    virtual CLabel& SetEmbossed(BOOL on, BOOL direction);
    virtual CLabel& SetTextAngle(int degrees, BOOL rotate);
    virtual CLabel& SetEmbossColour(COLORREF colour);
    virtual CLabel& SetLogFont(LOGFONTA logFont);
    virtual CLabel& SetShellLink(BOOL on, BOOL notifyParent);
    virtual CLabel& SetLinkTarget(const CString& target);

    COLORREF GetTextColour() const { return m_crText; }
    const LOGFONTA& GetLogFont() const { return m_logFont; }
    HFONT GetLabelFont() const { return m_font; }
    BOOL IsTransparent() const { return m_bTransparent; }
    BOOL GetBlinkPhase() const { return m_bBlinkPhase; }
    int GetBlinkKind() const { return m_nBlinkKind; }
    int GetLinkKind() const { return m_nLinkKind; }

    // What a link click runs (the shell's ShellExecuteA unless a test records instead);
    // returns the one it replaces.
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    static ShellExecuteFunction SetShellExecute(ShellExecuteFunction function);

    // The opaque background's colour bands over `client`, left to right.
    static void PaintGradient(CDC& dc, const RECT& client, COLORREF from, COLORREF to);
    // The DrawText format for `text` in a static control of style `style`.
    static UINT TextFormat(DWORD style, const CString& text);

    DECLARE_MESSAGE_MAP()

protected:
    void PreSubclassWindow() override;

    void OnTimer(UINT_PTR id);
    void OnLButtonDown(UINT keys, CPoint point);
    BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT mouseMessage);
    void OnSysColorChange();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC& dc);

private:
    // Redraws the label and the parent beneath it, so no trace of the old text stays.
    void RefreshOverParent();
    void RemakeFont();
    void StartBlink(int kind, BOOL on);
    void DrawContent(CDC& dc, const CRect& client, const CString& text);

    COLORREF m_crText;
    COLORREF m_crEmboss = RGB(255, 255, 255);
    CBrush m_defaultBrush;
    CBrush m_backgroundBrush;
    LOGFONTA m_logFont{};
    CFont m_font;
    BOOL m_bBlinkPhase = FALSE;
    BOOL m_bTimerRunning = FALSE;
    int m_nLinkKind = LINK_NONE;
    BOOL m_bTransparent = FALSE;
    BOOL m_bEmbossed = FALSE;
    BOOL m_bEmbossDirection = FALSE;
    BOOL m_bNotifyParent = FALSE;
    BOOL m_bRotate = FALSE;
    int m_nBlinkKind = BLINK_NONE;
    HCURSOR m_hHoverCursor = nullptr;
    BOOL m_bGradient = FALSE;
    COLORREF m_crBackground = 0;
    COLORREF m_crGradientEnd = 0;
    CString m_strLinkTarget;
};

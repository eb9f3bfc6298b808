#include "skin/label.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "framework/bitmap.h"
#include "framework/memory_dc.h"
#include "framework/message_map_entries.h"
#include "framework/paint_dc.h"
#include "framework/scoped_select_object.h"
#include "framework/unique_handle.h"

namespace {
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT kBlinkPeriodMs = 500;
constexpr DWORD kStaticTypeMask = 0x1F;
CLabel::ShellExecuteFunction shellExecute = &::ShellExecuteA;
}  // namespace

CLabel::ShellExecuteFunction CLabel::SetShellExecute(ShellExecuteFunction function) {
    const ShellExecuteFunction previous = shellExecute;
    shellExecute = function != nullptr ? function : &::ShellExecuteA;
    return previous;
}

// clang-format off
BEGIN_MESSAGE_MAP(CLabel, CStatic)
    MapTimer<&ThisClass::OnTimer>(),
    MapLButtonDown<&ThisClass::OnLButtonDown>(),
    MapSetCursor<&ThisClass::OnSetCursor>(),
    MapSysColorChange<&ThisClass::OnSysColorChange>(),
    MapPaint<&ThisClass::OnPaint>(),
    MapEraseBkgnd<&ThisClass::OnEraseBkgnd>(),
END_MESSAGE_MAP()
// clang-format on

CLabel::CLabel() : m_crText(::GetSysColor(COLOR_WINDOWTEXT)) {
    m_defaultBrush.CreateSysColorBrush(COLOR_BTNFACE);
}

CLabel::~CLabel() = default;

void CLabel::PreSubclassWindow() {
    CStatic::PreSubclassWindow();
    HFONT font = GetFont();
    if (font == nullptr) {
        font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    }
    ::GetObjectA(font, sizeof(m_logFont), &m_logFont);
    RemakeFont();
}

void CLabel::RefreshOverParent() {
    // Before the window exists there is nothing to repaint; a null window would mean the
    // whole desktop.
    if (m_hWnd == nullptr) {
        return;
    }
    CRect area;
    GetWindowRect(&area);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HWND parent = ::GetParent(m_hWnd);
    if (parent == nullptr) {
        return;
    }
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    ::InvalidateRect(parent, &area, TRUE);
    ::UpdateWindow(parent);
}

void CLabel::RemakeFont() {
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&m_logFont);
}

// ---- setters ----

CLabel& CLabel::SetBackground(COLORREF background, COLORREF gradientEnd, BOOL gradient) {
    m_crBackground = background;
    m_crGradientEnd = gradientEnd;
    m_bGradient = gradient;
    m_backgroundBrush.DeleteObject();
    if (!gradient) {
        m_backgroundBrush.CreateSolidBrush(background);
    }
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetTextColour(COLORREF colour) {
    m_crText = colour;
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetCaption(const CString& text) {
    if (m_hWnd != nullptr) {
        SetWindowText(text);
        RefreshOverParent();
    }
    return *this;
}

CLabel& CLabel::SetBold(BOOL bold) {
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetFaceName(const CString& name, BYTE charSet) {
    m_logFont.lfCharSet = charSet;
    std::memset(m_logFont.lfFaceName, 0, sizeof(m_logFont.lfFaceName));
    const size_t kept = std::min(static_cast<size_t>(name.GetLength()), size_t{LF_FACESIZE - 1});
    std::memcpy(m_logFont.lfFaceName, name.GetString(), kept);
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetUnderlined(BOOL underlined) {
    m_logFont.lfUnderline = underlined ? 1 : 0;
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetItalic(BOOL italic) {
    m_logFont.lfItalic = italic ? 1 : 0;
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetPointSize(int points) {
    CFont sized;
    if (sized.CreatePointFont(points * 10, m_logFont.lfFaceName)) {
        LOGFONTA measured{};
        sized.GetLogFont(&measured);
        m_logFont.lfHeight = measured.lfHeight;
        m_logFont.lfWidth = measured.lfWidth;
    }
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetSunkenEdge(BOOL sunken) {
    if (sunken) {
        ModifyStyleEx(0, WS_EX_STATICEDGE, SWP_DRAWFRAME);
    } else {
        ModifyStyleEx(WS_EX_STATICEDGE, 0, SWP_DRAWFRAME);
    }
    return *this;
}

CLabel& CLabel::SetBorderLine(BOOL border) {
    if (border) {
        ModifyStyle(0, WS_BORDER, SWP_DRAWFRAME);
    } else {
        ModifyStyle(WS_BORDER, 0, SWP_DRAWFRAME);
    }
    return *this;
}

CLabel& CLabel::SetTransparentPaint(BOOL transparent) {
    m_bTransparent = transparent;
    if (m_hWnd != nullptr) {
        ModifyStyleEx(0, WS_EX_TRANSPARENT);
    }
    RefreshOverParent();
    return *this;
}

void CLabel::StartBlink(int kind, BOOL on) {
    if (m_bTimerRunning && m_hWnd != nullptr) {
        KillTimer(kBlinkTimer);
    }
    if (on) {
        m_bBlinkPhase = FALSE;
        m_bTimerRunning = TRUE;
        if (m_hWnd != nullptr) {
            SetTimer(kBlinkTimer, kBlinkPeriodMs);
        }
        m_nBlinkKind = kind;
    } else if (kind == BLINK_TEXT) {
        m_nBlinkKind = BLINK_NONE;
    }
}

CLabel& CLabel::SetBlinkText(BOOL on) {
    StartBlink(BLINK_TEXT, on);
    return *this;
}

CLabel& CLabel::SetBlinkBackground(BOOL on) {
    StartBlink(BLINK_BACKGROUND, on);
    return *this;
}

CLabel& CLabel::SetOpenLink(BOOL on, BOOL notifyParent) {
    m_nLinkKind = on ? LINK_OPEN : LINK_NONE;
    m_bNotifyParent = notifyParent;
    if (m_hWnd != nullptr) {
        ModifyStyle(m_nLinkKind != LINK_NONE ? 0 : SS_NOTIFY,
                    m_nLinkKind != LINK_NONE ? SS_NOTIFY : 0);
    }
    return *this;
}

CLabel& CLabel::SetHoverCursor(HCURSOR cursor) {
    m_hHoverCursor = cursor;
    return *this;
}

CLabel& CLabel::SetEmbossed(BOOL on, BOOL direction) {
    m_bEmbossed = on;
    m_bEmbossDirection = direction;
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetTextAngle(int degrees, BOOL rotate) {
    m_logFont.lfEscapement = degrees * 10;
    m_logFont.lfOrientation = degrees * 10;
    m_bRotate = rotate;
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetEmbossColour(COLORREF colour) {
    m_crEmboss = colour;
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetLogFont(LOGFONTA logFont) {
    m_logFont = logFont;
    RemakeFont();
    RefreshOverParent();
    return *this;
}

CLabel& CLabel::SetShellLink(BOOL on, BOOL notifyParent) {
    m_nLinkKind = on ? LINK_SHELL : LINK_NONE;
    m_bNotifyParent = notifyParent;
    if (m_hWnd != nullptr) {
        ModifyStyle(m_nLinkKind != LINK_NONE ? 0 : SS_NOTIFY,
                    m_nLinkKind != LINK_NONE ? SS_NOTIFY : 0);
    }
    return *this;
}

CLabel& CLabel::SetLinkTarget(const CString& target) {
    m_strLinkTarget = target;
    return *this;
}

// ---- messages ----

void CLabel::OnTimer(UINT_PTR) {
    m_bBlinkPhase = !m_bBlinkPhase;
    RefreshOverParent();
    Default();
}

void CLabel::OnLButtonDown(UINT, CPoint) {
    if (m_bNotifyParent) {
        NMHDR header{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), LABEL_CLICKED};
        ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                       reinterpret_cast<LPARAM>(&header));
    } else if (m_nLinkKind == LINK_OPEN) {
        const CString file = m_strLinkTarget.IsEmpty() ? GetWindowText() : m_strLinkTarget;
        shellExecute(nullptr, "open", file, nullptr, nullptr, SW_SHOWNORMAL);
    } else if (m_nLinkKind == LINK_SHELL) {
        const CString text = GetWindowText();
        shellExecute(nullptr, nullptr, text, nullptr, nullptr, SW_SHOWNORMAL);
    }
    Default();
}

BOOL CLabel::OnSetCursor(CWnd*, UINT, UINT) {
    if (m_hHoverCursor != nullptr) {
        ::SetCursor(m_hHoverCursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CLabel::OnSysColorChange() {
    m_defaultBrush.DeleteObject();
    m_defaultBrush.CreateSysColorBrush(COLOR_BTNFACE);
    RefreshOverParent();
}

BOOL CLabel::OnEraseBkgnd(CDC&) {
    return TRUE;  // the label paints all it shows; a transparent one relies on its parent
}

// ---- painting ----

UINT CLabel::TextFormat(DWORD style, const CString& text) {
    UINT format = DT_LEFT | DT_WORDBREAK;
    switch (style & kStaticTypeMask) {
        case SS_CENTER:
            format = DT_CENTER | DT_WORDBREAK;
            break;
        case SS_RIGHT:
            format = DT_RIGHT | DT_WORDBREAK;
            break;
        case SS_LEFTNOWORDWRAP:
            format = DT_LEFT;
            break;
        default:
            break;
    }
    if (!text.IsEmpty() && text.Find('\t') >= 0) {
        format |= DT_EXPANDTABS;
    }
    if ((style & SS_CENTERIMAGE) != 0) {
        format = text.Find("\r\n") >= 0 ? DT_CENTER : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    }
    return format;
}

void CLabel::PaintGradient(CDC& dc, const RECT& client, COLORREF from, COLORREF to) {
    const int width = client.right - client.left;
    const int bands = std::min(width, 100);
    const int divisor = bands > 1 ? bands : 1;
    int red = GetRValue(from) * 256;
    int green = GetGValue(from) * 256;
    int blue = GetBValue(from) * 256;
    const int redStep = ((GetRValue(to) - GetRValue(from)) * 256) / divisor;
    const int greenStep = ((GetGValue(to) - GetGValue(from)) * 256) / divisor;
    const int blueStep = ((GetBValue(to) - GetBValue(from)) * 256) / divisor;
    const int bandWidth = width / divisor;
    const ScopedSelectObject noPen(dc, ::GetStockObject(NULL_PEN));
    int x = client.left;
    for (int band = 0; band < bands; ++band) {
        const int end = band == bands - 1 ? client.right : x + bandWidth;
        UniqueGdiObject brush(::CreateSolidBrush(RGB(red / 256, green / 256, blue / 256)));
        {
            ScopedSelectObject select(dc, brush.get());
            // Without a pen a rectangle leaves out its right and bottom edges; both are
            // widened by one so the bands cover the whole label.
            dc.Rectangle(x, client.top, end + 1, client.bottom + 1);
        }
        red += redStep;
        green += greenStep;
        blue += blueStep;
        x = end;
    }
}

void CLabel::DrawContent(CDC& dc, const CRect& client, const CString& text) {
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    COLORREF textColour = m_crText;
    const COLORREF oldText = dc.SetTextColor(textColour);
    const ScopedSelectObject font(dc, m_font.GetSafeHandle());

    if (!m_bTransparent) {
        if (m_bGradient) {
            PaintGradient(dc, client, m_crBackground, m_crGradientEnd);
        } else {
            dc.FillRect(client, m_backgroundBrush.GetSafeHandle() != nullptr
                                    ? static_cast<HBRUSH>(m_backgroundBrush)
                                    : static_cast<HBRUSH>(m_defaultBrush));
        }
    }

    // The hidden phase draws the text in the background's colour; without a solid background
    // that colour is black.
    COLORREF hidden = 0;
    if (m_backgroundBrush.GetSafeHandle() != nullptr) {
        LOGBRUSH description{};
        m_backgroundBrush.GetObject(sizeof(description), &description);
        hidden = description.lbColor;
    }
    if (!m_bBlinkPhase && m_nBlinkKind == BLINK_TEXT) {
        textColour = hidden;
        dc.SetTextColor(textColour);
    }

    const UINT format = TextFormat(GetStyle(), text);
    if (m_bRotate) {
        const UINT oldAlign = dc.SetTextAlign(TA_BASELINE);
        const POINT oldOrigin = dc.SetViewportOrg(client.Width() / 2, client.Height() / 2);
        dc.TextOut(0, 0, text);
        dc.SetViewportOrg(oldOrigin.x, oldOrigin.y);
        dc.SetTextAlign(oldAlign);
    } else {
        CRect area(client);
        dc.DrawText(text, area, format);
        if (m_bEmbossed) {
            dc.SetTextColor(m_crEmboss);
            const int offset = m_bEmbossDirection ? 1 : -1;
            area.OffsetRect(offset, offset);
            dc.DrawText(text, area, format);
        }
    }

    dc.SetBkMode(oldMode);
    dc.SetTextColor(oldText);
}

void CLabel::OnPaint() {
    CPaintDC paint(this);
    CRect client;
    GetClientRect(&client);
    const CString text = GetWindowText();
    if (m_bTransparent) {
        DrawContent(paint, client, text);
        return;
    }
    // Opaque labels are drawn off screen and shown in one step, so they never flicker.
    CMemoryDC memory(&paint);
    CBitmap bitmap;
    if (memory.GetSafeHdc() == nullptr ||
        !bitmap.CreateCompatibleBitmap(&paint, client.Width(), client.Height())) {
        DrawContent(paint, client, text);
        return;
    }
    {
        ScopedSelectObject select(memory, bitmap.GetSafeHandle());
        DrawContent(memory, client, text);
        paint.BitBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, SRCCOPY);
    }
}

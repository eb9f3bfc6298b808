#include "framework/wnd.h"

#include <commctrl.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/dc.h"
#include "framework/font.h"

namespace {

// Windows belong to the thread that made them; so do the maps from handles to objects.
thread_local std::unordered_map<HWND, CWnd*> boundWindows;
thread_local std::unordered_map<HWND, std::unique_ptr<CWnd>> standIns;

constexpr UINT_PTR kSubclassId = 1;

bool Matches(const MessageMapEntry& entry, const MessageContext& context) {
    if (entry.message != context.message) {
        return false;
    }
    switch (context.message) {
        case WM_COMMAND:
            return entry.id == LOWORD(context.wParam) && entry.code == HIWORD(context.wParam);
        case WM_REFLECT_BASE + WM_COMMAND:
            return entry.code == HIWORD(context.wParam);
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(context.lParam);
            return header != nullptr && entry.id == header->idFrom && entry.code == header->code;
        }
        default:
            return true;
    }
}

}  // namespace

CWnd* WndFromHandle(HWND window) {
    return CWnd::FromHandle(window);
}

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        HWND window = m_hWnd;
        const bool owned = m_ownsWindow;
        // Unbind first: a window destroyed after its object has gone must not call back into it.
        Unbind();
        if (owned) {
            ::DestroyWindow(window);
        }
    }
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    const auto found = boundWindows.find(window);
    return found != boundWindows.end() ? found->second : nullptr;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    if (CWnd* bound = FromHandlePermanent(window)) {
        return bound;
    }
    if (const auto found = standIns.find(window); found != standIns.end()) {
        return found->second.get();
    }
    std::erase_if(standIns, [](const auto& entry) { return !::IsWindow(entry.first); });
    auto standIn = std::make_unique<CWnd>();
    standIn->m_hWnd = window;
    return standIns.emplace(window, std::move(standIn)).first->second.get();
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (window == nullptr || m_hWnd != nullptr || FromHandlePermanent(window) != nullptr) {
        return FALSE;
    }
    m_hWnd = window;
    PreSubclassWindow();
    if (!::SetWindowSubclass(window, &CWnd::SubclassProc, kSubclassId,
                             reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return FALSE;
    }
    m_subclassed = true;
    boundWindows[window] = this;
    m_bound = true;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (parent == nullptr || parent->m_hWnd == nullptr) {
        return FALSE;
    }
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND window = m_hWnd;
    Unbind();
    return window;
}

void CWnd::BindWindow(HWND window) {
    m_hWnd = window;
    boundWindows[window] = this;
    m_bound = true;
    m_subclassed = ::SetWindowSubclass(window, &CWnd::SubclassProc, kSubclassId,
                                       reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void CWnd::Unbind() {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_subclassed) {
        ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
        m_subclassed = false;
    }
    // Stand-ins were never in the map; they may be destroyed after it, at thread exit.
    if (m_bound) {
        if (const auto found = boundWindows.find(m_hWnd);
            found != boundWindows.end() && found->second == this) {
            boundWindows.erase(found);
        }
        m_bound = false;
    }
    m_hWnd = nullptr;
    m_ownsWindow = false;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR selfPointer) noexcept {
    auto* self = reinterpret_cast<CWnd*>(selfPointer);
    if (message != WM_NCDESTROY) {
        return self->Dispatch(message, wParam, lParam);
    }
    // Last message of the window: let the handlers see it, then forget the handle.
    const LRESULT result = self->Dispatch(message, wParam, lParam);
    if (self->m_hWnd == window) {
        self->Unbind();
        self->PostNcDestroy();
    } else {
        ::RemoveWindowSubclass(window, &CWnd::SubclassProc, kSubclassId);
    }
    return result;
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    const MessageContext saved = m_current;
    m_current = {message, wParam, lParam, message};
    const LRESULT result = WindowProc(message, wParam, lParam);
    m_current = saved;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) {
        return result;
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    // A control's notification goes to the control first; unless it consumes it, the
    // parent's own map sees it too.
    if (message == WM_COMMAND && lParam != 0) {
        LRESULT ignored = 0;
        if (ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, &ignored)) {
            *result = 0;
            return TRUE;
        }
    }

    MessageContext context{message, wParam, lParam, message};
    const bool colourRequest = message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    if (colourRequest) {
        context.message = WM_CTLCOLOR;
    }
    for (const MessageMap* map = GetMessageMap(); map != nullptr;
         map = map->base != nullptr ? map->base() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->message != 0; ++entry) {
            if (Matches(*entry, context) && entry->thunk(*this, context, *result)) {
                return TRUE;
            }
        }
    }

    // What no map entry took: colour requests and owner drawing go to the control that
    // asked; everything else to the default procedure.
    if (colourRequest) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        CWnd* control = FromHandle(reinterpret_cast<HWND>(lParam));
        if (control != nullptr) {
            *result =
                reinterpret_cast<LRESULT>(OnCtlColor(dc, *control, message - WM_CTLCOLORMSGBOX));
            return TRUE;
        }
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        LRESULT answer = 0;
        if (item != nullptr && item->CtlType != ODT_MENU &&
            ReflectToChild(item->hwndItem, message, wParam, lParam, &answer)) {
            *result = TRUE;
            return TRUE;
        }
    }
    return FALSE;
}

HBRUSH CWnd::OnCtlColor(CDC& dc, CWnd& control, UINT kind) {
    LRESULT answer = 0;
    if (ReflectToChild(control.m_hWnd, WM_CTLCOLOR, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                       static_cast<LPARAM>(kind), &answer)) {
        return reinterpret_cast<HBRUSH>(answer);
    }
    if (m_current.rawMessage >= WM_CTLCOLORMSGBOX && m_current.rawMessage <= WM_CTLCOLORSTATIC) {
        return reinterpret_cast<HBRUSH>(Default());
    }
    return reinterpret_cast<HBRUSH>(DefWindowProc(WM_CTLCOLORMSGBOX + kind,
                                                  reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                                                  reinterpret_cast<LPARAM>(control.m_hWnd)));
}

bool CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    CWnd* control = FromHandlePermanent(child);
    if (control == nullptr) {
        return false;
    }
    const MessageContext saved = control->m_current;
    control->m_current = {WM_REFLECT_BASE + message, wParam, lParam, WM_REFLECT_BASE + message};
    const bool answered =
        control->OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, result) != FALSE;
    control->m_current = saved;
    return answered;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hWnd == nullptr) {
        return 0;
    }
    if (m_subclassed) {
        return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (m_current.rawMessage >= WM_REFLECT_BASE) {
        return 0;  // a reflected message has no default procedure of its own
    }
    return DefWindowProc(m_current.rawMessage, m_current.wParam, m_current.lParam);
}

void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}
BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}
int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}
CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

void CWnd::SetWindowText(const char* text) {
    ::SetWindowTextA(m_hWnd, text != nullptr ? text : "");
}
void CWnd::GetWindowText(CString& text) const {
    text = GetWindowText();
}
CString CWnd::GetWindowText() const {
    const int length = GetWindowTextLength();
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    return CString(std::string(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0)));
}
int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthA(m_hWnd);
}

BOOL CWnd::ShowWindow(int command) {
    return ::ShowWindow(m_hWnd, command);
}
BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}
BOOL CWnd::EnableWindow(BOOL enable) {
    return ::EnableWindow(m_hWnd, enable);
}
BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}
BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}
CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}
BOOL CWnd::DestroyWindow() {
    return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE;
}

// A null window would mean every window on the desktop; before it exists there is nothing
// of ours to repaint.
void CWnd::Invalidate(BOOL erase) {
    InvalidateRect(nullptr, erase);
}
void CWnd::InvalidateRect(const RECT* rect, BOOL erase) {
    if (m_hWnd != nullptr) {
        ::InvalidateRect(m_hWnd, rect, erase);
    }
}
BOOL CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags) {
    return ::RedrawWindow(m_hWnd, rect, region, flags);
}
void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

void CWnd::GetClientRect(RECT* rect) const {
    ::GetClientRect(m_hWnd, rect);
}
void CWnd::GetWindowRect(RECT* rect) const {
    ::GetWindowRect(m_hWnd, rect);
}
void CWnd::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}
void CWnd::ScreenToClient(POINT* point) const {
    ::ScreenToClient(m_hWnd, point);
}
void CWnd::ClientToScreen(RECT* rect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
}
void CWnd::ClientToScreen(POINT* point) const {
    ::ClientToScreen(m_hWnd, point);
}
BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}
BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, width, height, flags);
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
}
DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
}

namespace {
BOOL ModifyWindowLong(HWND window, int index, DWORD remove, DWORD add, UINT swpFlags) {
    const auto style = static_cast<DWORD>(::GetWindowLongA(window, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style) {
        return FALSE;
    }
    ::SetWindowLongA(window, index, static_cast<LONG>(changed));
    if (swpFlags != 0) {
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    }
    return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyWindowLong(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}
BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
    return ModifyWindowLong(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
    SetFont(font != nullptr ? static_cast<HFONT>(*font) : nullptr, redraw);
}
void CWnd::SetFont(HFONT font, BOOL redraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
}
HFONT CWnd::GetFont() const {
    return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}
HICON CWnd::SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse) {
    return ::SetTimer(m_hWnd, id, elapse, nullptr);
}
BOOL CWnd::KillTimer(UINT_PTR id) {
    return ::KillTimer(m_hWnd, id);
}

// The root of every map: nothing of its own; reflection and defaults live in OnWndMsg.
const MessageMap* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}
const MessageMap* CWnd::GetThisMessageMap() {
    static constexpr MessageMapEntry entries[] = {MessageMapEntry{0, 0, 0, nullptr}};
    static constexpr MessageMap map{nullptr, entries};
    return &map;
}

// Typed message-map entries: each takes the handler as a member pointer and cracks the
// message's parameters for it, e.g. MapPaint<&ThisClass::OnPaint>() or
// MapCommand<IDC_NEXT, &ThisClass::OnNext>(). A handler that can decline (reflected colour
// requests and notifications) lets the message go on to the next entry or the default.
#pragma once

#include <windows.h>

#include "framework/dc.h"
#include "framework/message_map.h"
#include "framework/rect.h"
#include "framework/wnd.h"

namespace message_map_detail {

template <typename T>
struct MemberOf;
template <typename C, typename R, typename... A>
struct MemberOf<R (C::*)(A...)> {
    using Class = C;
};

template <auto Handler>
auto& Self(CWnd& window) {
    return static_cast<typename MemberOf<decltype(Handler)>::Class&>(window);
}

inline CPoint PointOf(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace message_map_detail

// LRESULT Handler(WPARAM, LPARAM): any message, parameters uncracked.
template <UINT Message, auto Handler>
constexpr MessageMapEntry MapMessage() {
    return {Message, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                r = (message_map_detail::Self<Handler>(w).*Handler)(c.wParam, c.lParam);
                return true;
            }};
}

// void Handler(): WM_COMMAND with notification `Code` from control `Id`.
template <UINT Code, UINT Id, auto Handler>
constexpr MessageMapEntry MapControl() {
    return {WM_COMMAND, Code, Id, [](CWnd& w, const MessageContext&, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)();
                r = 0;
                return true;
            }};
}

// void Handler(): a click of button `Id` (or a menu or accelerator command `Id`).
template <UINT Id, auto Handler>
constexpr MessageMapEntry MapCommand() {
    return MapControl<BN_CLICKED, Id, Handler>();
}

// void Handler(NMHDR&, LRESULT&): WM_NOTIFY with code `Code` from control `Id`.
template <UINT Code, UINT Id, auto Handler>
constexpr MessageMapEntry MapNotify() {
    return {WM_NOTIFY, Code, Id, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                r = 0;
                (message_map_detail::Self<Handler>(w).*Handler)(*reinterpret_cast<NMHDR*>(c.lParam),
                                                                r);
                return true;
            }};
}

// bool Handler(): the control's own notification `Code`, reflected from its parent. True
// consumes it; false lets the parent handle it as well.
template <UINT Code, auto Handler>
constexpr MessageMapEntry MapReflectedCommand() {
    return {WM_REFLECT_BASE + WM_COMMAND, Code, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                r = 0;
                return (message_map_detail::Self<Handler>(w).*Handler)();
            }};
}

// HBRUSH Handler(CDC&, UINT kind): the parent's colour request, reflected to this control.
// A null brush declines, and the parent's default answers.
template <auto Handler>
constexpr MessageMapEntry MapReflectedCtlColor() {
    return {WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                CDC dc(reinterpret_cast<HDC>(c.wParam));
                HBRUSH brush = (message_map_detail::Self<Handler>(w).*Handler)(
                    dc, static_cast<UINT>(c.lParam));
                r = reinterpret_cast<LRESULT>(brush);
                return brush != nullptr;
            }};
}

// void Handler(DRAWITEMSTRUCT&): the parent's WM_DRAWITEM for this owner-drawn control.
template <auto Handler>
constexpr MessageMapEntry MapReflectedDrawItem() {
    return {WM_REFLECT_BASE + WM_DRAWITEM, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*
                 Handler)(*reinterpret_cast<DRAWITEMSTRUCT*>(c.lParam));
                r = TRUE;
                return true;
            }};
}

// HBRUSH Handler(CDC&, CWnd& control, UINT kind): every WM_CTLCOLOR* sent to this window.
template <auto Handler>
constexpr MessageMapEntry MapCtlColor() {
    return {WM_CTLCOLOR, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                CDC dc(reinterpret_cast<HDC>(c.wParam));
                CWnd* control = WndFromHandle(reinterpret_cast<HWND>(c.lParam));
                if (control == nullptr) {
                    control = &w;  // a colour request about this window itself
                }
                r = reinterpret_cast<LRESULT>((message_map_detail::Self<Handler>(w).*Handler)(
                    dc, *control, c.rawMessage - WM_CTLCOLORMSGBOX));
                return true;
            }};
}

// void Handler(): WM_PAINT.
template <auto Handler>
constexpr MessageMapEntry MapPaint() {
    return {WM_PAINT, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)();
                r = 0;
                return true;
            }};
}

// BOOL Handler(CDC&): WM_ERASEBKGND; true when the background has been erased.
template <auto Handler>
constexpr MessageMapEntry MapEraseBkgnd() {
    return {WM_ERASEBKGND, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                CDC dc(reinterpret_cast<HDC>(c.wParam));
                r = (message_map_detail::Self<Handler>(w).*Handler)(dc);
                return true;
            }};
}

// void Handler(UINT_PTR id): WM_TIMER.
template <auto Handler>
constexpr MessageMapEntry MapTimer() {
    return {WM_TIMER, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)(c.wParam);
                r = 0;
                return true;
            }};
}

// void Handler(UINT keys, CPoint): mouse messages with a client position.
template <UINT Message, auto Handler>
constexpr MessageMapEntry MapMouse() {
    return {Message, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)(
                    static_cast<UINT>(c.wParam), message_map_detail::PointOf(c.lParam));
                r = 0;
                return true;
            }};
}
template <auto Handler>
constexpr MessageMapEntry MapMouseMove() {
    return MapMouse<WM_MOUSEMOVE, Handler>();
}
template <auto Handler>
constexpr MessageMapEntry MapLButtonDown() {
    return MapMouse<WM_LBUTTONDOWN, Handler>();
}
template <auto Handler>
constexpr MessageMapEntry MapLButtonUp() {
    return MapMouse<WM_LBUTTONUP, Handler>();
}

// void Handler(): messages without parameters worth cracking (WM_MOUSELEAVE, WM_CANCELMODE,
// WM_SYSCOLORCHANGE, ...).
template <UINT Message, auto Handler>
constexpr MessageMapEntry MapSignal() {
    return {Message, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)();
                r = 0;
                return true;
            }};
}
template <auto Handler>
constexpr MessageMapEntry MapMouseLeave() {
    return MapSignal<WM_MOUSELEAVE, Handler>();
}
template <auto Handler>
constexpr MessageMapEntry MapCancelMode() {
    return MapSignal<WM_CANCELMODE, Handler>();
}
template <auto Handler>
constexpr MessageMapEntry MapSysColorChange() {
    return MapSignal<WM_SYSCOLORCHANGE, Handler>();
}

// BOOL Handler(CWnd* window, UINT hitTest, UINT mouseMessage): WM_SETCURSOR.
template <auto Handler>
constexpr MessageMapEntry MapSetCursor() {
    return {WM_SETCURSOR, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                r = (message_map_detail::Self<Handler>(w).*Handler)(
                    WndFromHandle(reinterpret_cast<HWND>(c.wParam)), LOWORD(c.lParam),
                    HIWORD(c.lParam));
                return true;
            }};
}

// void Handler(CWnd* newFocus): WM_KILLFOCUS.
template <auto Handler>
constexpr MessageMapEntry MapKillFocus() {
    return {WM_KILLFOCUS, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*
                 Handler)(WndFromHandle(reinterpret_cast<HWND>(c.wParam)));
                r = 0;
                return true;
            }};
}

// void Handler(UINT state, CWnd* other, BOOL minimised): WM_ACTIVATE.
template <auto Handler>
constexpr MessageMapEntry MapActivate() {
    return {WM_ACTIVATE, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)(
                    LOWORD(c.wParam), WndFromHandle(reinterpret_cast<HWND>(c.lParam)),
                    HIWORD(c.wParam) != 0);
                r = 0;
                return true;
            }};
}

// void Handler(BOOL enable): WM_ENABLE.
template <auto Handler>
constexpr MessageMapEntry MapEnable() {
    return {WM_ENABLE, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*Handler)(static_cast<BOOL>(c.wParam));
                r = 0;
                return true;
            }};
}

// UINT Handler(): WM_GETDLGCODE.
template <auto Handler>
constexpr MessageMapEntry MapGetDlgCode() {
    return {WM_GETDLGCODE, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                r = (message_map_detail::Self<Handler>(w).*Handler)();
                return true;
            }};
}

// HCURSOR Handler(): WM_QUERYDRAGICON.
template <auto Handler>
constexpr MessageMapEntry MapQueryDragIcon() {
    return {WM_QUERYDRAGICON, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                r = reinterpret_cast<LRESULT>((message_map_detail::Self<Handler>(w).*Handler)());
                return true;
            }};
}

// BOOL Handler(): WM_QUERYENDSESSION; FALSE asks Windows not to end the session yet.
template <auto Handler>
constexpr MessageMapEntry MapQueryEndSession() {
    return {WM_QUERYENDSESSION, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                r = (message_map_detail::Self<Handler>(w).*Handler)();
                return true;
            }};
}

// BOOL Handler(): WM_QUERYNEWPALETTE.
template <auto Handler>
constexpr MessageMapEntry MapQueryNewPalette() {
    return {WM_QUERYNEWPALETTE, 0, 0, [](CWnd& w, const MessageContext&, LRESULT& r) {
                r = (message_map_detail::Self<Handler>(w).*Handler)();
                return true;
            }};
}

// void Handler(CWnd* changedBy): WM_PALETTECHANGED.
template <auto Handler>
constexpr MessageMapEntry MapPaletteChanged() {
    return {WM_PALETTECHANGED, 0, 0, [](CWnd& w, const MessageContext& c, LRESULT& r) {
                (message_map_detail::Self<Handler>(w).*
                 Handler)(WndFromHandle(reinterpret_cast<HWND>(c.wParam)));
                r = 0;
                return true;
            }};
}

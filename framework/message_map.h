// The shape of a window class's message map: a static table of (message, notification code,
// control id, handler) entries, consulted before the base class's table. The typed entries
// that fill the tables are in message_map_entries.h.
#pragma once

#include <windows.h>

class CWnd;

// A message reflected to the control that caused it arrives at the control as this offset
// plus the original message.
inline constexpr UINT WM_REFLECT_BASE = 0xBC00;
// Every WM_CTLCOLOR* message meets one entry under this code; the handler receives the kind
// (CTLCOLOR_BTN, CTLCOLOR_STATIC, ...).
inline constexpr UINT WM_CTLCOLOR = 0x0019;

struct MessageContext {
    UINT message;  // as matched: WM_CTLCOLOR stands for all WM_CTLCOLOR* messages
    WPARAM wParam;
    LPARAM lParam;
    UINT rawMessage;  // as received
};

// Calls the handler; false when the handler declines and the message goes on.
using MessageThunk = bool (*)(CWnd& window, const MessageContext& context, LRESULT& result);

struct MessageMapEntry {
    UINT message;  // 0 ends the table
    UINT code;     // notification code for WM_COMMAND, WM_NOTIFY and their reflections
    UINT id;       // control id for WM_COMMAND and WM_NOTIFY
    MessageThunk thunk;
};

struct MessageMap {
    const MessageMap* (*base)();  // null for the root class
    const MessageMapEntry* entries;
};

// In a class body: the map's accessors. Members that follow it are protected.
#define DECLARE_MESSAGE_MAP()                     \
public:                                           \
    static const MessageMap* GetThisMessageMap(); \
                                                  \
protected:                                        \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const MessageMap* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const MessageMap* theClass::GetThisMessageMap() {   \
        using ThisClass [[maybe_unused]] = theClass;    \
        using TheBaseClass = baseClass;                 \
        static constexpr MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                       \
    MessageMapEntry {                                                           \
        0, 0, 0, nullptr                                                        \
    }                                                                           \
    }                                                                           \
    ;                                                                           \
    static constexpr MessageMap map{&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                                \
    }

// The calling thread's message pump: the plain one, or the one the framework installed.
#include "platform/window_message.h"

namespace platform {
namespace {

thread_local MessagePump t_pump = nullptr;

}  // namespace

MessagePump SetThreadMessagePump(MessagePump pump) {
    const MessagePump previous = t_pump;
    t_pump = pump;
    return previous;
}

bool PumpOneMessage() {
    return t_pump != nullptr ? t_pump() : PumpOnePlainMessage();
}

void PumpAllMessages() {
    while (PumpOneMessage()) {
    }
}

}  // namespace platform

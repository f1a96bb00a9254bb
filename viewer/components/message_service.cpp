#include "viewer/components/message_service.h"

#include <cstdio>
#include <utility>

#include "viewer/components/graphic_errors.h"

namespace brevant {
namespace {

MessageBoxHook& boxHook() {
    static MessageBoxHook hook;
    return hook;
}

CursorResetHook& cursorHook() {
    static CursorResetHook hook;
    return hook;
}

}  // namespace

MessageBoxHook setMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(boxHook(), std::move(hook));
}

CursorResetHook setCursorResetHook(CursorResetHook hook) {
    return std::exchange(cursorHook(), std::move(hook));
}

void showMessageBox(MessageKind kind, const std::string& text) {
    if (boxHook()) {
        boxHook()(kind, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", kind == MessageKind::Error ? "Error" : "Warning",
                 text.c_str());
}

void resetScreenCursor() {
    if (cursorHook())
        cursorHook()();
}

void notImplemented() {
    resetScreenCursor();
    showMessageBox(MessageKind::Error, componentString(kSNotImplemented));
    throw Abort();
}

}  // namespace brevant

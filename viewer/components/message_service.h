// The message boxes the components show, behind hooks: the viewer installs
// boxes of its own at start-up (see components_startup.h), tests replace them
// to see what would have been shown. The default writes to standard error.
#pragma once

#include <functional>
#include <string>

namespace brevant {

enum class MessageKind { Error, Warning };

using MessageBoxHook = std::function<void(MessageKind kind, const std::string& text)>;
using CursorResetHook = std::function<void()>;

// Installs a hook and returns the one it replaces; an empty hook restores the
// default.
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);
CursorResetHook setCursorResetHook(CursorResetHook hook);

// Shows text in a box of the kind (caption "Error" or "Warning", OK button).
void showMessageBox(MessageKind kind, const std::string& text);

// Puts the normal screen cursor back (after a wait cursor).
void resetScreenCursor();

// The answer to an operation the components do not offer: the normal cursor
// comes back, string 61257 is shown in an error box and the operation ends
// with Abort.
[[noreturn]] void notImplemented();

}  // namespace brevant

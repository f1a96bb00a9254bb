// The program's message boxes go through one small service: the program
// installs the real boxes at start-up (components_startup.h), tests install
// a service that records the boxes and answers them (message_test_util.h).
// Without a service the text goes to standard error and the box's default
// answer comes back.
#pragma once

#include <QString>

#include <functional>

namespace brevant {

enum class MessageIcon { None, Error, Warning };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct MessageRequest {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer defaultAnswer = MessageAnswer::Ok;  // the button that has the focus

    friend bool operator==(const MessageRequest&, const MessageRequest&) = default;
};

class MessageService {
public:
    virtual ~MessageService() = default;
    virtual MessageAnswer show(const MessageRequest& request) = 0;
};

// Task-modal Qt message boxes.
class QtMessageService : public MessageService {
public:
    MessageAnswer show(const MessageRequest& request) override;
};

// Installs the service (the caller keeps it alive while installed) and
// answers the one it replaces; null goes back to standard error.
MessageService* setMessageService(MessageService* service);

MessageAnswer showMessage(const MessageRequest& request);

// Caption "Error", error icon, OK.
void showError(const QString& text);
// Caption "Warning", warning icon, OK.
void showWarning(const QString& text);
// Caption "Warning", warning icon, the buttons given.
MessageAnswer askWarning(const QString& text, MessageButtons buttons, MessageAnswer defaultAnswer);

using CursorResetHook = std::function<void()>;

// Installs a hook and returns the one it replaces.
CursorResetHook setCursorResetHook(CursorResetHook hook);

// Puts the normal screen cursor back (after a wait cursor).
void resetScreenCursor();

// The answer to an operation the components do not offer: the normal cursor
// comes back, string 61257 is shown in an error box and the operation ends
// with Abort.
[[noreturn]] void notImplemented();

}  // namespace brevant

// Messages a window posts to itself so that work runs after the input or
// resize being handled now: each becomes an event queued for the receiver,
// delivered by the loop after what is queued before it (through the default
// error handler like every event) and dropped when the receiver is gone.
#pragma once

#include <QEvent>

class QObject;

namespace brevant {

inline constexpr int WM_USER = 0x0400;
// Lays out the page-view frame after a resize.
inline constexpr int kLayoutPageViewMessage = WM_USER + 3;
// Ends the permission of a tree selection change.
inline constexpr int kEndSelectionPermissionMessage = WM_USER + 4;

class PostedMessageEvent : public QEvent {
public:
    explicit PostedMessageEvent(int message) : QEvent(eventType()), message_(message) {}
    int message() const { return message_; }

    static QEvent::Type eventType();

private:
    int message_;
};

void postMessage(QObject* receiver, int message);

// The message a posted-message event carries; 0 for any other event.
int postedMessage(const QEvent* event);

}  // namespace brevant

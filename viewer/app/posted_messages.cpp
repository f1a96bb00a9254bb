#include "viewer/app/posted_messages.h"

#include <QCoreApplication>

namespace brevant {

QEvent::Type PostedMessageEvent::eventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void postMessage(QObject* receiver, int message) {
    QCoreApplication::postEvent(receiver, new PostedMessageEvent(message));
}

int postedMessage(const QEvent* event) {
    if (!event || event->type() != PostedMessageEvent::eventType())
        return 0;
    return static_cast<const PostedMessageEvent*>(event)->message();
}

}  // namespace brevant

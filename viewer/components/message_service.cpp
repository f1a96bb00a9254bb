#include "viewer/components/message_service.h"

#include <QMessageBox>

#include <cstdio>
#include <utility>

#include "viewer/components/graphic_errors.h"

namespace brevant {
namespace {

MessageService*& installed() {
    static MessageService* service = nullptr;
    return service;
}

CursorResetHook& cursorHook() {
    static CursorResetHook hook;
    return hook;
}

QMessageBox::StandardButton buttonOf(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return QMessageBox::Ok;
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
    }
    return QMessageBox::NoButton;
}

}  // namespace

MessageAnswer QtMessageService::show(const MessageRequest& request) {
    static const QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Critical,
                                               QMessageBox::Warning};
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MessageButtons::YesNo)
        buttons = QMessageBox::Yes | QMessageBox::No;
    if (request.buttons == MessageButtons::YesNoCancel)
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    // Window systems give an empty title the program's name; a blank one
    // shows as empty.
    const QString caption = request.caption.isEmpty() ? QStringLiteral(" ") : request.caption;
    QMessageBox box(kIcons[int(request.icon)], caption, request.text, buttons);
    box.setDefaultButton(buttonOf(request.defaultAnswer));
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        default:  // closed without a button
            return request.buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel
                   : request.buttons == MessageButtons::Ok        ? MessageAnswer::Ok
                                                                  : MessageAnswer::No;
    }
}

MessageService* setMessageService(MessageService* service) {
    return std::exchange(installed(), service);
}

MessageAnswer showMessage(const MessageRequest& request) {
    if (installed())
        return installed()->show(request);
    std::fprintf(stderr, "%s: %s\n", qPrintable(request.caption), qPrintable(request.text));
    return request.defaultAnswer;
}

void showError(const QString& text) {
    showMessage({QStringLiteral("Error"), text, MessageIcon::Error});
}

void showWarning(const QString& text) {
    showMessage({QStringLiteral("Warning"), text, MessageIcon::Warning});
}

MessageAnswer askWarning(const QString& text, MessageButtons buttons, MessageAnswer defaultAnswer) {
    return showMessage(
        {QStringLiteral("Warning"), text, MessageIcon::Warning, buttons, defaultAnswer});
}

CursorResetHook setCursorResetHook(CursorResetHook hook) {
    return std::exchange(cursorHook(), std::move(hook));
}

void resetScreenCursor() {
    if (cursorHook())
        cursorHook()();
}

void notImplemented() {
    resetScreenCursor();
    showError(QString::fromStdString(componentString(kSNotImplemented)));
    throw Abort();
}

}  // namespace brevant

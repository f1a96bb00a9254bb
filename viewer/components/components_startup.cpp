#include "viewer/components/components_startup.h"

#include <QApplication>
#include <QMessageBox>

#include "viewer/components/message_service.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {

void startComponents() {
    setMessageBoxHook([](MessageKind kind, const std::string& text) {
        QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Warning,
                        kind == MessageKind::Error ? "Error" : "Warning",
                        QString::fromStdString(text), QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    });
    setCursorResetHook([] {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
    loadComponentCursors();
}

}  // namespace brevant

#include "viewer/components/components_startup.h"

#include <QApplication>

#include "viewer/components/message_service.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {

void startComponents() {
    static QtMessageService boxes;
    setMessageService(&boxes);
    setCursorResetHook([] {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
    loadComponentCursors();
}

}  // namespace brevant

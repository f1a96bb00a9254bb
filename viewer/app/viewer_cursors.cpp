#include "viewer/app/viewer_cursors.h"

#include <QImage>

#include "viewer/components/icon.h"
#include "viewer/components/qt_pictures.h"
#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

// The cursor resources of the program by the numbers they take.
struct NamedCursor {
    ViewerCursor id;
    const char* name;
};

constexpr NamedCursor kCursors[] = {
    {kOpenHandCursor, "OPEN_HAND"}, {kCloseHandCursor, "CLOSE_HAND"},   {kFingerCursor, "FINGER"},
    {kZoomInCursor, "LINZ_PLUS"},   {kWaitRenderCursor, "WAIT_RENDER"},
};

const char* resourceName(ViewerCursor id) {
    for (const NamedCursor& cursor : kCursors) {
        if (cursor.id == id)
            return cursor.name;
    }
    return "";
}

}  // namespace

void registerViewerCursors() {
    for (const NamedCursor& cursor : kCursors)
        loadScreenCursor(cursor.id, cursor.name);
}

QImage viewerCursorPicture(ViewerCursor id) {
    const Icon cursor(cursorResource(resourceName(id)));
    const QImage image = iconImage(cursor);
    QRect drawn;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)))
                drawn |= QRect(x, y, 1, 1);
        }
    }
    return image.copy(drawn);
}

}  // namespace brevant

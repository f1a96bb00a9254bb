// The viewer's own cursors in the screen's cursor table: the hand tool and
// its grip, the finger over a link, the zoom box tool and the render wait.
#pragma once

#include <QImage>

namespace brevant {

enum ViewerCursor {
    kOpenHandCursor = 5,    // the hand tool
    kCloseHandCursor = 6,   // the hand tool while dragging
    kFingerCursor = 7,      // over a link
    kZoomInCursor = 8,      // the zoom box tool
    kWaitRenderCursor = 10  // while a page renders
};

// Loads the five cursors from the program's cursor resources ("OPEN_HAND",
// "CLOSE_HAND", "FINGER", "LINZ_PLUS", "WAIT_RENDER") into the screen's
// cursor table. Needs the QApplication.
void registerViewerCursors();

// The picture of one of them, cut to its drawn pixels (the tool buttons of
// the hand and zoom box tools show it).
QImage viewerCursorPicture(ViewerCursor id);

}  // namespace brevant

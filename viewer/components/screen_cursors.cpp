#include "viewer/components/screen_cursors.h"

#include <map>

#include "viewer/components/icon.h"
#include "viewer/components/qt_pictures.h"

namespace brevant {
namespace {

std::map<int, QCursor>& table() {
    static std::map<int, QCursor> cursors;
    return cursors;
}

}  // namespace

void setScreenCursor(int id, const QCursor& cursor) {
    table()[id] = cursor;
}

bool hasScreenCursor(int id) {
    return table().count(id) != 0;
}

QCursor screenCursor(int id) {
    auto it = table().find(id);
    return it == table().end() ? QCursor(Qt::ArrowCursor) : it->second;
}

void loadComponentCursors() {
    static const std::pair<const char*, int> kCursors[] = {{"RX_HANDCUR", kHandCursor},
                                                           {"RX_DRAGCUR", kDragCursor}};
    for (const auto& [name, id] : kCursors) {
        Icon cursor(cursorResource(name));
        const IconEntry& entry = cursor.entries().back();
        setScreenCursor(id, cursorFromIcon(cursor, entry.planes, entry.bitCount));
    }
}

}  // namespace brevant

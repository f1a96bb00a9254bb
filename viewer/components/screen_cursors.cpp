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

void loadScreenCursor(int id, std::string_view name) {
    Icon cursor(cursorResource(name));
    // A cursor file keeps its hot spot where an icon keeps its planes and
    // bit count.
    const IconEntry& entry = cursor.entries().back();
    setScreenCursor(id, cursorFromIcon(cursor, entry.planes, entry.bitCount));
}

void loadComponentCursors() {
    loadScreenCursor(kHandCursor, "RX_HANDCUR");
    loadScreenCursor(kDragCursor, "RX_DRAGCUR");
}

}  // namespace brevant

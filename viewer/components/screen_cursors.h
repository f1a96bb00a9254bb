// The screen's cursor table: cursors by number, as the forms name them, and
// the two cursors of the components installed at start-up.
#pragma once

#include <QCursor>

#include <string_view>

#include "viewer/components/byte_io.h"

namespace brevant {

constexpr int kHandCursor = 14000;  // resource "RX_HANDCUR"
constexpr int kDragCursor = 14001;  // resource "RX_DRAGCUR"

void setScreenCursor(int id, const QCursor& cursor);
bool hasScreenCursor(int id);
// The cursor of that number; the arrow when none is installed.
QCursor screenCursor(int id);

// The program's cursor file of that resource name; empty when unknown.
ByteSpan cursorResource(std::string_view name);

// Loads the program's cursor file of that resource name as cursor `id`.
void loadScreenCursor(int id, std::string_view name);

// Loads "RX_HANDCUR" and "RX_DRAGCUR" as cursors 14000 and 14001.
void loadComponentCursors();

}  // namespace brevant

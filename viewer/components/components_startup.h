// Start-up of the components in a Qt program: message boxes and the cursor
// reset go through Qt, and the components' cursors are installed.
#pragma once

namespace brevant {

// Call once after the QApplication exists.
void startComponents();

}  // namespace brevant

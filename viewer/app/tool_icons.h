// The pictures of the main window's tool buttons, 16 by 16 pixels.
#pragma once

#include <QIcon>

namespace brevant {

enum class ToolIcon {
    Open,
    SavePdb,
    Pane,
    FirstPage,
    PrevPage,
    NextPage,
    LastPage,
    PrevView,
    NextView,
    Hand,
    ZoomBox,
    ActualSize,
    FitWidth,
    FullPage,
    FitHeight,
    DisplayGraphics,
    PreviewPages,
    ShowOnDevice,
    PreparePages,
    DocInfo,
    Options
};

// Needs the QApplication.
QIcon toolIcon(ToolIcon icon);

}  // namespace brevant

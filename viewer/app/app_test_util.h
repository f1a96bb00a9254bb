// The one application object of the viewer's test programs: the program's
// own, so events run inside its default error handler. Made on first use
// and kept to the end; headless unless a platform is chosen.
#pragma once

#include "viewer/app/application.h"

namespace brevant::testing {

inline BrevantApplication& testApp() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static BrevantApplication* app = new BrevantApplication(argc, argv);
    return *app;
}

}  // namespace brevant::testing

// The one QApplication of a test program, made on first use and kept to the
// end (destroyed after Qt's own globals at exit, it would crash). Runs
// headless unless a platform is chosen in the environment.
#pragma once

#include <QApplication>

namespace brevant::testing {

inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace brevant::testing

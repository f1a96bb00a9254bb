#include "viewer/app/program.h"

#include <QDir>
#include <QTimer>

#include "viewer/app/application.h"
#include "viewer/app/main_form.h"

namespace brevant {

int runProgram(BrevantApplication& app) {
    app.setTitle(QStringLiteral("Lumbra for Palm OS"));
    app.setHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath("lumbra.chm"));
    // The forms in the order of creation, the main form first; its creation
    // creates and connects the engine.
    TBrevantForm BrevantForm;
    if (!BrevantForm.engineAvailable())
        return 1;
    BrevantForm.setCommandLine(QCoreApplication::arguments());
    // The loop shows the main form once it runs, so that a close that
    // comes while the window appears ends the loop too.
    QTimer::singleShot(0, &BrevantForm, [&BrevantForm] {
        BrevantForm.show();
        // What the show posted (the page view's layout among it) is
        // delivered, in its order, before the window's first paint, so that
        // the first paint is the settled window.
        QCoreApplication::sendPostedEvents();
    });
    return app.exec();
}

}  // namespace brevant

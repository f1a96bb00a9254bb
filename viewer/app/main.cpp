// Brevant, "Lumbra for Palm OS": the PDF viewer that drives the engine.
#include "platform/com/com_client.h"
#include "platform/gdi/gdi_font.h"
#include "typelib/vistrel_typelib.h"
#include "viewer/app/application.h"
#include "viewer/app/program.h"
#include "viewer/components/components_startup.h"

int main(int argc, char** argv) {
    brevant::ComApartment apartment;
    // Read while Qt connects to the display and the main form is built: the
    // font configuration Qt's first text needs, and the engine library the
    // main form creates its control from.
    win::FontConfigurationPreload fonts;
    win::InprocServerPreload engine(VISTRELLib::CLSID_Vistrel);
    brevant::BrevantApplication app(argc, argv);
    // Once Qt is connected (listing while it connects slows it down): the
    // system's faces the engine's first page chooses its fonts from.
    win::FontListPreload faces;
    brevant::startComponents();
    return brevant::runProgram(app);
}

// Brevant, "Lumbra for Palm OS": the PDF viewer that drives the engine.
#include "viewer/app/application.h"
#include "viewer/app/program.h"
#include "viewer/components/components_startup.h"

int main(int argc, char** argv) {
    brevant::ComApartment apartment;
    brevant::BrevantApplication app(argc, argv);
    brevant::startComponents();
    return brevant::runProgram(app);
}

#include "engine/control/engine_startup.h"

#include "engine/doc/typed_objects.h"
#include "engine/font/font_registry.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/font/pdf_font_registration.h"
#include "engine/font/truetype_loader.h"
#include "engine/font/type1_loader.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/function/pdf_function.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {

void startEngine(const WString& fontsFolder) {
    installDocumentFactories();
    installFunctionFactory();
    installFontDictionaryFactories();
    initOutputDevices();
    installImageFactories();
    initFontSystem();
    registerType1Loaders(fontsFolder);
    registerTrueTypeLoader();
    registerPdfFontFactories();
}

}  // namespace vistrel

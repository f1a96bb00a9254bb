// For the font tests: a document over a PDF file written from object bodies,
// whose objects the document's parser types as the engine does, a guard of
// an engine setting, and a fresh process registry.
#pragma once

#include <string>
#include <vector>

#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/font/font_registry.h"
#include "engine/font/pdf_font_registration.h"
#include "engine/font/truetype_loader.h"
#include "engine/font/type1_loader.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "tests/support/pdf_file_text.h"

namespace vistrel::testing {

class FontTestDocument {
public:
    explicit FontTestDocument(const std::vector<std::string>& bodies)
        : text_(pdfFileFromObjects(bodies)),
          stream_(reinterpret_cast<const uint8_t*>(text_.data()), text_.size()),
          document_(&stream_, true) {}

    // Object n, resolved (borrowed; the document keeps it while it lives).
    PdfObject* object(int32_t number) {
        refs_.push_back(makeRef<PdfRef>(&document_, number, 0));
        return refs_.back()->direct();
    }

private:
    std::string text_;
    MemoryInputStream stream_;
    PdfDocument document_;
    std::vector<Ref<PdfRef>> refs_;
};

// Parks an engine setting for a test (reads see none) and brings the old
// value back at the end.
class SettingGuard {
public:
    SettingGuard(const WString& section, const WString& key) : section_(section), key_(key) {
        settingsStore().save(section_, key_);
    }
    ~SettingGuard() { settingsStore().restore(section_, key_); }
    SettingGuard(const SettingGuard&) = delete;
    SettingGuard& operator=(const SettingGuard&) = delete;

    void set(const SettingValue& value) { settingsStore().set(section_, key_, value); }

private:
    const WString& section_;
    const WString& key_;
};

// The fonts folder the build writes beside the engine library.
inline WString testFontsFolder() {
    return WString::fromUtf8(VISTREL_FONTS_DIR);
}

// Replaces the process's font registry by an empty one registered as the
// engine registers it (the Type 1 loaders over the build's fonts folder, the
// TrueType loader, the PDF factories and the Type 3 loader), so that a test
// starts without the fonts of the tests before it.
inline void freshEngineRegistry() {
    destroyFontRegistry();
    createFontRegistry();
    registerType1Loaders(testFontsFolder());
    registerTrueTypeLoader();
    addPdfFontFactories(*fontRegistry());
}

}  // namespace vistrel::testing

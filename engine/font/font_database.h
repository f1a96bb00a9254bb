// The font substitution database of the fonts folder: "fonts.dsc" describes
// the engine's own outline fonts, so that a font a document names but does
// not embed can be drawn with the closest one, and "cmap.dsc" names the CMap
// files of CID-keyed fonts. Both are PDF syntax whose first object is a
// dictionary; they are read once per process, when a font first asks.
//
// "fonts.dsc": each key names an own font; its value is a dictionary with
// /FileName (string, relative to the folder), /FamilyName (string),
// /KeyWords (string of words separated by single spaces), /keyOnly (number:
// non-zero scores the entry by its keywords alone) and /isBold, /isItalic,
// /isSerif, /isMonoSpace (numbers, 1 or 0).
//
// "cmap.dsc": each key names a CMap; its value is a dictionary with
// /Registry, /Ordering and /FileName (strings).
#pragma once

#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class FontDescription;

// What a CID-keyed font asks the CMap database for.
struct CMapRequest {
    // With its leading "/".
    WString cmapName;
    WString registry;
    WString ordering;
};

class FontDatabase {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // Buffer of the streams the database opens.
    static constexpr std::size_t kBufferSize = 4096;

    FontDatabase();
    FontDatabase(const FontDatabase&) = delete;
    FontDatabase& operator=(const FontDatabase&) = delete;
    virtual ~FontDatabase();

    // Loads "fonts.dsc" and "cmap.dsc" of the folder (a path ending in its
    // separator). They are read when they are first used: a process that
    // draws no font they serve does not parse them.
    void loadFiles(const WString& folder);
    // Only while the slot is empty: keeps the folder and parses the first
    // object of folder + file name into the slot when it is a dictionary; a
    // missing or malformed file leaves the slot empty.
    void load(const WString& folder, const WString& fileName, Ref<PdfDict>& slot);

    // The own font file closest to the description's key name, opened (it
    // may fail to open: the stream is then not open), with the chosen
    // entry's name appended to text; null when nothing is chosen or the
    // entry has no /FileName string inside the folder.
    std::unique_ptr<InputStream> matchStyle(const FontDescription& description, WString& text);
    // The CMap file for a request: the entry of the CMap's name, else the
    // first of the same registry and ordering; null when none fits or it
    // has no /FileName string.
    std::unique_ptr<InputStream> lookup(const CMapRequest& request);

    const WString& folder() const { return folder_; }
    PdfDict* fonts() {
        loadPending();
        return fonts_.get();
    }
    PdfDict* cmaps() {
        loadPending();
        return cmaps_.get();
    }

private:
    // Reads the files loadFiles left for their first use.
    void loadPending();

    // folder + the entry's /FileName, opened; null without a /FileName
    // string.
    std::unique_ptr<InputStream> openEntryFile(const PdfDict& entry) const;

    WString folder_;
    Ref<PdfDict> fonts_;
    Ref<PdfDict> cmaps_;
    // The folder of a loadFiles whose files are not read yet.
    WString pendingFolder_;
    bool pending_ = false;
};

// The process-wide database: empty from load (the font layer's static
// objects make it) until the first loadFiles; null before it is made and
// after it is destroyed.
FontDatabase* fontDatabase();
bool createFontDatabase();
void destroyFontDatabase();

}  // namespace vistrel

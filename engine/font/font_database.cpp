#include "engine/font/font_database.h"

#include <new>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/font_description.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"

namespace vistrel {
namespace {

// The value of a key given as text (with its solidus), or null.
PdfObject* valueOf(const PdfDict& dict, const char16_t* key) {
    const PdfName name(WString(key, -1, true));
    return dict.get(name);
}

const PdfString* stringValue(const PdfDict& dict, const char16_t* key) {
    return asString(valueOf(dict, key));
}

// A number's value (its integer when it is one); none for anything else.
bool numberValue(const PdfDict& dict, const char16_t* key, double& value) {
    const PdfNumber* number = asNumber(valueOf(dict, key));
    if (!number)
        return false;
    value = number->isInteger() ? double(number->intValue()) : number->realValue();
    return true;
}

// 1 when the number under the key equals the flag (1 or 0); 0 when it
// differs or is missing.
bool flagMatches(const PdfDict& entry, const char16_t* key, bool flag) {
    double value = 0.0;
    return numberValue(entry, key, value) && value == (flag ? 1.0 : 0.0);
}

bool contains(const WString& text, const char16_t* word) {
    return text.find(word) >= 0;
}

// The style words of a lower-cased request.
struct RequestStyle {
    explicit RequestStyle(const WString& request)
        : bold(contains(request, u"bold") || contains(request, u"heavy")),
          italic(contains(request, u"italic") || contains(request, u"oblique")),
          serif(contains(request, u"serif")),
          monospace(contains(request, u"monospace")) {}

    bool bold, italic, serif, monospace;
};

// Scores of the style flags and of each matched keyword.
constexpr std::int32_t kMonospacePoints = 128;
constexpr std::int32_t kKeywordPoints = 64;
constexpr std::int32_t kItalicPoints = 32;
constexpr std::int32_t kBoldPoints = 16;
constexpr std::int32_t kSerifPoints = 8;

struct Score {
    std::int32_t points = 0;
    std::int32_t words = 0;
};

Score scoreEntry(const PdfDict& entry, const WString& request, const RequestStyle& style) {
    Score score;
    double keyOnly = 0.0;
    if (!numberValue(entry, u"/keyOnly", keyOnly) || keyOnly == 0.0) {
        if (flagMatches(entry, u"/isMonoSpace", style.monospace))
            score.points += kMonospacePoints;
        if (flagMatches(entry, u"/isSerif", style.serif))
            score.points += kSerifPoints;
        if (flagMatches(entry, u"/isItalic", style.italic))
            score.points += kItalicPoints;
        if (flagMatches(entry, u"/isBold", style.bold))
            score.points += kBoldPoints;
    }
    const PdfString* keywords = stringValue(entry, u"/KeyWords");
    if (!keywords)
        return score;
    WString words(keywords->textValue());
    words.toLower();
    // Words are separated by single spaces: two spaces in a row make an
    // empty word, which every request contains.
    std::int32_t start = 0;
    for (;;) {
        const std::int32_t space = words.findChar(u' ', start);
        const std::int32_t end = space >= 0 ? space : words.size();
        const WString word = words.substr(start, end - start);
        if (request.find(word.chars()) >= 0) {
            score.points += kKeywordPoints;
            ++score.words;
        }
        if (space < 0)
            break;
        start = space + 1;
    }
    return score;
}

FontDatabase* theDatabase = nullptr;

}  // namespace

FontDatabase::FontDatabase() = default;

FontDatabase::~FontDatabase() = default;

void FontDatabase::loadFiles(const WString& folder) {
    loadPending();
    if (fonts_ && cmaps_)
        return;
    folder_.assign(folder);
    pendingFolder_.assign(folder);
    pending_ = true;
}

void FontDatabase::loadPending() {
    if (!pending_)
        return;
    pending_ = false;
    load(pendingFolder_, settings::FontsDsc, fonts_);
    load(pendingFolder_, settings::CmapDsc, cmaps_);
}

void FontDatabase::load(const WString& folder, const WString& fileName, Ref<PdfDict>& slot) {
    loadPending();
    if (slot)
        return;
    folder_.assign(folder);
    FileInputStream file((folder + fileName).view(), kBufferSize);
    if (!file.isOpen())
        return;
    Tokenizer tokenizer(&file);
    ObjectParser parser(&tokenizer);
    ObjectRef first = parser.ParseObject();
    if (PdfDict* dict = asDict(first.get()))
        slot = Ref<PdfDict>::share(dict);
}

std::unique_ptr<InputStream> FontDatabase::openEntryFile(const PdfDict& entry) const {
    const PdfString* fileName = stringValue(entry, u"/FileName");
    if (!fileName)
        return nullptr;
    return std::unique_ptr<InputStream>(
        new (std::nothrow) FileInputStream((folder_ + fileName->textValue()).view(), kBufferSize));
}

std::unique_ptr<InputStream> FontDatabase::matchStyle(const FontDescription& description,
                                                      WString& text) {
    loadPending();
    if (!fonts_)
        return nullptr;
    WString request(description.name());
    request.toLower();
    const RequestStyle style(request);
    const bool strict = readSettingSwitch(
        settingsStore().find(settings::FontSystem, settings::StrictTTSubst), false);

    const PdfName* chosenKey = nullptr;
    const PdfDict* chosen = nullptr;
    Score best;
    for (const auto& node : fonts_->entries()) {
        const PdfName* key = nameOf(node.key);
        const PdfDict* entry = asDict(node.value);
        if (!key || !entry)
            continue;
        // The key without its solidus, lower-cased.
        const WString& keyText = key->textValue();
        WString name = keyText.substr(1, keyText.size() - 1);
        name.toLower();
        if (name.equals(request)) {
            chosenKey = key;
            chosen = entry;
            break;
        }
        if (strict) {
            const PdfString* family = stringValue(*entry, u"/FamilyName");
            if (family && family->textValue().equals(request))
                continue;
        }
        const Score score = scoreEntry(*entry, request, style);
        if (score.points > best.points ||
            (score.points == best.points && score.words > best.words)) {
            best = score;
            chosenKey = key;
            chosen = entry;
        }
    }
    if (!chosen)
        return nullptr;
    const WString& keyText = chosenKey->textValue();
    text.append(keyText.substr(1, keyText.size() - 1));
    return openEntryFile(*chosen);
}

std::unique_ptr<InputStream> FontDatabase::lookup(const CMapRequest& request) {
    loadPending();
    if (!cmaps_)
        return nullptr;
    const PdfDict* chosen = nullptr;
    for (const auto& node : cmaps_->entries()) {
        const PdfName* key = nameOf(node.key);
        const PdfDict* entry = asDict(node.value);
        if (key && entry && key->textValue().equals(request.cmapName)) {
            chosen = entry;
            break;
        }
    }
    if (!chosen) {
        for (const auto& node : cmaps_->entries()) {
            const PdfDict* entry = asDict(node.value);
            if (!entry)
                continue;
            const PdfString* registry = stringValue(*entry, u"/Registry");
            const PdfString* ordering = stringValue(*entry, u"/Ordering");
            if (registry && ordering && registry->textValue().equals(request.registry) &&
                ordering->textValue().equals(request.ordering)) {
                chosen = entry;
                break;
            }
        }
    }
    return chosen ? openEntryFile(*chosen) : nullptr;
}

FontDatabase* fontDatabase() {
    return theDatabase;
}

bool createFontDatabase() {
    if (!theDatabase)
        theDatabase = new FontDatabase();
    return theDatabase != nullptr;
}

void destroyFontDatabase() {
    delete theDatabase;
    theDatabase = nullptr;
}

}  // namespace vistrel

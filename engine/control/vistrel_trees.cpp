// The control object's document trees: the outline, the links, the text
// annotations, the fonts and the words, built afresh on every request, and
// the host's own trees stored into the document's file and read back; the
// link and annotation lists of the Palm export.
#include <cmath>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/control/outline_tree.h"
#include "engine/control/tree_records.h"
#include "engine/control/vistrel.h"
#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/export/pdb_page_store.h"
#include "engine/font/font_registry.h"
#include "engine/font/page_text_line_list.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

namespace {

// The names of the trees built from the document; any other name is a
// stored tree.
constexpr const char16_t* kTocTree = u"TOC";
constexpr const char16_t* kLinksTree = u"LINKS";
constexpr const char16_t* kAnnotationsTree = u"ANNOTATIONS";
constexpr const char16_t* kFontInfoTree = u"FONTINFO";
constexpr const char16_t* kTextTree = u"TEXT";

// A null name is the empty one.
std::u16string_view nameOf(BSTR name) {
    return name ? std::u16string_view(name, win::SysStringLen(name)) : std::u16string_view();
}

// The key a tree is stored under, as the file gives it back: the PDF name
// "/" + name is written in its text form (# escapes; characters beyond a
// byte as their UTF-8 bytes) and read back byte by byte. Storing and reading
// through this key, every name stores, and reads back after reopening.
WString storedTreeKey(std::u16string_view name) {
    WString plain(name.data(), int32_t(name.size()));
    ObjectRef pdfName = keyName(plain);
    if (!pdfName)
        return plain;
    const std::string written = pdfName->text().toLatin1();
    MemoryInputStream input(written.data(), written.size());
    Tokenizer tokenizer(&input);
    if (tokenizer.NextToken() != Tokenizer::kName || tokenizer.text.size() < 1)
        return plain;
    return tokenizer.text.substr(1, -1);
}

BSTR newBstr(std::u16string_view text) {
    return win::SysAllocStringLen(text.data(), win::UINT(text.size()));
}

// The text of a string entry with at least one character, else null.
const WString* nonEmptyText(PdfObject* value) {
    PdfString* s = asString(value);
    return s && s->size() > 0 ? &s->textValue() : nullptr;
}

BSTR newBstr(const WString* text) {
    return text ? newBstr(text->view()) : nullptr;
}

// The four numbers of a rectangle object; false when it is none.
bool readRectangle(PdfObject* value, double rect[4]) {
    PdfArray* r = asRectangle(value);
    if (!r || r->count() != 4)
        return false;
    for (int32_t i = 0; i < 4; ++i) {
        PdfNumber* n = asNumber(r->at(i));
        rect[i] = n ? n->realValue() : std::nan("");
    }
    return true;
}

// The Text annotations of an /Annots array in order, each that qualifies
// handed to take(annotation, box, colour). A Text annotation without a
// rectangle ends the walk; one whose numbers do not convert is passed over.
template <class Take>
void walkTextAnnotations(PdfArray& annots, const Matrix& m, Take take) {
    for (int32_t i = 0; i < annots.count(); ++i) {
        PdfAnnotation* annotation = asAnnotation(annots.at(i));
        if (!annotation || annotation->subtypeCode() != PdfAnnotation::kText)
            continue;
        double rect[4];
        if (!readRectangle(annotation->get(names::Rect), rect))
            return;
        const std::optional<PixelBox> box = annotationBox(rect, m);
        const std::optional<int32_t> color = annotationColor(annotation->get(names::C));
        if (box && color)
            take(*annotation, *box, *color);
    }
}

// Fills a working Annotation node's record; the node copies the texts.
void setAnnotationRecord(TreeNode& node, const PixelBox& box, int32_t color, PdfAnnotation& owner,
                         PageAnnotationType type) {
    PageAnnotation record{box.x,
                          box.y,
                          box.width,
                          box.height,
                          color,
                          newBstr(nonEmptyText(owner.get(names::T))),
                          newBstr(nonEmptyText(owner.get(names::Contents))),
                          type};
    node.setAnnotation(record);
    win::SysFreeString(record.caption);
    win::SysFreeString(record.text);
}

// A working node of a record type: a fresh State node of page 1, retyped.
void resetWorkingNode(TreeNode& node, TreeNodeType type) {
    node.removeKids();
    node.initState(1, 1.0, VISTRELLib::PalmFormat::NotPalm, 4, 4);
    node.setType(type);
}

// --- The builders: each adds the root's kids; false when it cannot start.

bool buildToc(PdfCatalog& catalog, TreeNode& root) {
    OutlineItem* outlines = catalog.getOutlines();
    PdfDict* top = outlines ? outlines->held() : nullptr;
    if (!top)
        return false;
    root.setType(TreeNodeType::TOC);
    buildOutlineTree(root, *top);
    return true;
}

bool buildLinks(std::unique_ptr<PdbLinkList> links, TreeNode& root) {
    win::ComPtr<TreeNode> node = TreeNode::create();
    if (!links || !node)
        return false;
    resetWorkingNode(*node.get(), TreeNodeType::Link);
    for (const PdbLink& l : *links) {
        node->setLink(PageLink{l.x, l.y, l.x1, l.y1, l.toPage, l.toX, l.toY});
        if (root.addKid(node.get()) != S_OK)
            break;
    }
    return true;
}

bool buildAnnotations(PdfPage* page, const Matrix& m, TreeNode& root) {
    PdfArray* annots = page ? asArray(page->get(names::Annots)) : nullptr;
    win::ComPtr<TreeNode> a = TreeNode::create(), p = TreeNode::create();
    if (!annots || !a || !p)
        return false;
    ObjectRef held = ObjectRef::share(annots);
    walkTextAnnotations(
        *annots, m, [&](PdfAnnotation& annotation, const PixelBox& box, int32_t color) {
            resetWorkingNode(*a.get(), TreeNodeType::Annotation);
            resetWorkingNode(*p.get(), TreeNodeType::Annotation);
            setAnnotationRecord(
                *a.get(), box, color, annotation,
                annotation.openFlag() ? PageAnnotationType::IconOpened : PageAnnotationType::Icon);
            // A pop-up without a rectangle is left out; the annotation stays.
            if (PdfAnnotation* popup = asAnnotation(annotation.get(names::Popup))) {
                double rect[4];
                std::optional<PixelBox> popupBox;
                if (readRectangle(popup->get(names::Rect), rect))
                    popupBox = annotationBox(rect, m);
                std::optional<int32_t> popupColor = annotationColor(popup->get(names::C));
                if (popupBox && popupColor) {
                    setAnnotationRecord(
                        *p.get(), *popupBox,
                        *popupColor == kDefaultAnnotationColor ? color : *popupColor, annotation,
                        popup->openFlag() ? PageAnnotationType::PopupOpened
                                          : PageAnnotationType::Popup);
                    a->addKid(p.get());
                }
            }
            root.addKid(a.get());
        });
    return true;
}

bool buildFontInfo(TreeNode& root) {
    FontRegistry* registry = fontRegistry();
    if (!registry || !registry->firstFont())
        return false;
    // The registry's cursor is read to the end before any node is made.
    struct Font {
        WString key, description, encoding;
    };
    std::vector<Font> fonts;
    do {
        Font f;
        registry->currentFontInfo(f.key, f.description, f.encoding);
        fonts.push_back(std::move(f));
    } while (registry->nextFont());

    win::ComPtr<TreeNode> node = TreeNode::create();
    if (!node)
        return false;
    int32_t type3Number = 1;
    for (const Font& font : fonts) {
        const std::optional<FontInfoFields> fields = fontInfoFields(
            font.key.view(), font.description.view(), font.encoding.view(), type3Number);
        if (!fields)
            continue;
        auto orNull = [](const std::u16string& text) {
            return text.empty() ? nullptr : newBstr(text);
        };
        FontInfo record{fields->original, orNull(fields->originalName), fields->used,
                        orNull(fields->usedName), orNull(fields->encoding)};
        resetWorkingNode(*node.get(), TreeNodeType::Font_Info);
        node->setFontInfo(record);
        win::SysFreeString(record.originalName);
        win::SysFreeString(record.usedName);
        win::SysFreeString(record.encoding);
        if (root.addKid(node.get()) != S_OK)
            break;
    }
    return true;
}

// A word's coordinate truncated toward zero (word boxes lie within 2^30
// pixels of the origin).
LONG wordPixel(double value) {
    return std::isfinite(value) ? LONG(std::trunc(value)) : 0;
}

bool buildText(PdfPage* page, TreeNode& root) {
    const TextLineList* lines = page ? page->textLines() : nullptr;
    win::ComPtr<TreeNode> node = TreeNode::create();
    if (!lines || !node)
        return false;
    FontRegistry* registry = fontRegistry();
    for (size_t i = 0; i < lines->lineCount(); ++i) {
        const TextLine* line = lines->line(i);
        if (!line)
            continue;
        TextWordRecord word;
        for (size_t j = 0; line->getWordInfo(j, word); ++j) {
            const LiveFont* live = word.font && registry ? registry->liveFont(*word.font) : nullptr;
            const FontDescription* description = live ? live->description.get() : nullptr;
            FontRenderer* font = word.font ? word.font->font() : nullptr;
            const std::u16string family = fontFamily(description);
            const std::u16string modificator = fontModificator(description);
            WordInfo record{wordPixel(word.x),
                            wordPixel(word.y - word.height),
                            wordPixel(word.x + word.width),
                            wordPixel(word.y),
                            newBstr(family),
                            newBstr(modificator),
                            font ? roundedPixel(font->deviceSize()).value_or(0) : 0};
            resetWorkingNode(*node.get(), TreeNodeType::Word_Info);
            node->setWordInfo(record);
            node->setName(word.text);
            win::SysFreeString(record.fontFamily);
            win::SysFreeString(record.fontModificator);
            if (root.addKid(node.get()) != S_OK)
                return true;
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// root

HRESULT Vistrel::get_root(BSTR name, ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    if (!catalog_ || !catalog_->isLoaded() || !document_)
        return S_FALSE;
    *pVal = nullptr;
    win::ComPtr<TreeNode> root = TreeNode::create();
    if (!root)
        return S_FALSE;
    root->initState(0, 1.0, VISTRELLib::PalmFormat::NotPalm, 4, 4);
    const std::u16string_view tree = nameOf(name);
    if (tree == kTocTree) {
        buildToc(*catalog_, *root.get());
    } else if (tree == kLinksTree) {
        buildLinks(collectPageLinks(), *root.get());
    } else if (tree == kAnnotationsTree) {
        buildAnnotations(statePage().get(), pageMatrix_, *root.get());
    } else if (tree == kFontInfoTree) {
        buildFontInfo(*root.get());
    } else if (tree == kTextTree) {
        Ref<PdfPage> page = statePage();
        if (page)
            recaptureText(*page);
        buildText(page.get(), *root.get());
    } else {
        // A stored tree: the root takes what its data gives it.
        KeyPathReader reader(document_.get());
        if (tree.empty() || !reader.get(storedTreeKey(tree), *root.get()))
            return S_FALSE;
        *pVal = root.detach();
        return S_OK;
    }
    if (root->kidCount() == 0)
        return S_FALSE;
    *pVal = root.detach();
    return S_OK;
}

HRESULT Vistrel::put_root(BSTR name, ITreeNode* node) {
    if (!node)
        return S_FALSE;
    const std::u16string_view tree = nameOf(name);
    if (tree == kTocTree || tree == kTextTree || tree == kLinksTree || tree == kFontInfoTree)
        return win::E_ACCESSDENIED;
    if (tree == kAnnotationsTree)
        return win::E_NOTIMPL;
    // The document's tables change with the write: not under a running render.
    if (tree.empty() || !document_ || rendering_)
        return S_FALSE;
    win::ComPtr<TreeNode> copy = TreeNode::create();
    if (!copy || !copy->copyFrom(node))
        return S_FALSE;
    KeyPathWriter writer(document_.get(), WString(fileName_.data(), int32_t(fileName_.size())));
    if (!writer.put(storedTreeKey(tree), *copy.get()))
        return S_FALSE;
    return writer.save() > 0 ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------------------
// The record lists of a page

std::unique_ptr<PdbLinkList> Vistrel::collectPageLinks() {
    if (!catalog_ || !catalog_->isLoaded())
        return nullptr;
    Ref<PdfPage> page = statePage();
    PdfArray* annots = page ? asArray(page->get(names::Annots)) : nullptr;
    if (!annots)
        return nullptr;
    ObjectRef held = ObjectRef::share(annots);
    computePageMatrix();
    const Matrix m = pageMatrix_;
    auto links = std::make_unique<PdbLinkList>();
    for (int32_t i = 0; i < annots->count(); ++i) {
        PdfAnnotation* link = asAnnotation(annots->at(i));
        if (!link || link->subtypeCode() != PdfAnnotation::kLink)
            continue;
        double rect[4];
        if (!readRectangle(link->get(names::Rect), rect))
            continue;
        // The /D of a GoTo action (none when it has no /D), else /Dest.
        PdfObject* target = nullptr;
        Ref<PdfAction> action = asAction(link->get(names::A));
        if (action && action->actionKind() == PdfAction::kGoTo) {
            target = action->get(names::D);
        } else {
            target = link->get(names::Dest);
        }
        Ref<Destination> destination = target ? catalog_->readDestination(target) : nullptr;
        PdfObject* pageRef = destination ? destination->page() : nullptr;
        Ref<PdfPage> targetPage = pageRef ? catalog_->getPageIndex(pageRef) : nullptr;
        if (!targetPage)
            continue;
        // The number found must be the page's own in the page tree.
        PageLink record{};
        record.toPage = catalog_->lastPageNumber();
        if (catalog_->getPage(record.toPage).get() != targetPage.get() ||
            !linkCorners(rect, m, record))
            continue;
        // The target: the destination's own left and top where its kind
        // gives them (an absent one is stored negative), else the page's
        // origin.
        double x = 0, y = 0;
        const double left = destination->left(), top = destination->top();
        switch (destination->fitType()) {
            case kFitXYZ:
            case kFitR:
                x = left >= 0 ? left : 0;
                y = top >= 0 ? top : 0;
                break;
            case kFitH:
            case kFitBH:
                y = top >= 0 ? top : 0;
                break;
            case kFitV:
            case kFitBV:
                x = left >= 0 ? left : 0;
                break;
            default:
                break;
        }
        linkTarget(x, y, m, record);
        if (!links->append(PdbLink{record.x, record.y, record.x1, record.y1, record.toPage,
                                   record.toX, record.toY}))
            break;
    }
    return links->empty() ? nullptr : std::move(links);
}

std::unique_ptr<PdbAnnotationList> Vistrel::buildPageAnnotations() {
    Ref<PdfPage> page = statePage();
    PdfArray* annots = page ? asArray(page->get(names::Annots)) : nullptr;
    if (!annots)
        return nullptr;
    ObjectRef held = ObjectRef::share(annots);
    auto list = std::make_unique<PdbAnnotationList>();
    walkTextAnnotations(*annots, pageMatrix_,
                        [&](PdfAnnotation& annotation, const PixelBox& box, int32_t) {
                            PdbAnnotation record{box.x, box.y, box.width, box.height, {}, {}};
                            if (const WString* caption = nonEmptyText(annotation.get(names::T)))
                                record.caption = caption->view();
                            if (const WString* text = nonEmptyText(annotation.get(names::Contents)))
                                record.text = text->view();
                            list->append(std::move(record));
                        });
    return list->empty() ? nullptr : std::move(list);
}

}  // namespace vistrel

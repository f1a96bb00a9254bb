// Page and form objects, destination tables, and the lookup of inherited page
// attributes through /Parent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/doc/content_runner.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/pdf_stream.h"

namespace vistrel {

class TextLineList;

// Deepest /Parent chain or /Kids nesting the page-tree walks follow. Real page
// trees are a few levels deep; a hostile one (a cycle through /Parent or
// /Kids) ends the walk with "not found".
inline constexpr int kMaxPageTreeDepth = 256;

// The value of `key` in `dict`, else in the nearest pages node up its /Parent
// chain (a /Parent that is missing or not a pages node ends the walk);
// borrowed, or null. A chain that comes back to a node it has passed, or that
// is deeper than kMaxPageTreeDepth, gives null.
PdfObject* lookupInherited(PdfDict* dict, const PdfObject& key);

// How many pages keep the text lines of their last render (PdfPage).
inline constexpr size_t kKeptTextPages = 4;

// The render a page's text lines come from: the matrix from page space to
// device pixels and the size of the device.
struct TextCapture {
    Matrix pageMatrix;
    int32_t width = 0;
    int32_t height = 0;
};

// A page (class kind 36): a copy of the page dictionary with the content
// runner over its own or inherited /Resources.
class PdfPage final : public PdfDict {
public:
    explicit PdfPage(const PdfDict& source);
    explicit PdfPage(PdfDict&& source);
    ~PdfPage() override;

    uint16_t classKind() const override;

    ContentRunner& runner() { return runner_; }
    const ContentRunner& runner() const { return runner_; }
    // The resources the runner holds (own or inherited), or null.
    PdfDict* resources() const { return runner_.resources.get(); }
    // False when the page's own /Resources has a /ProcSet array without
    // /Text; page rendering then uses its table without text operators.
    bool hasText() const { return hasText_; }

    // The text lines page rendering collects; owned by the page. The list's
    // type belongs to the text code, which installs how to destroy it. Only
    // the kKeptTextPages pages given their lines last keep them: the lines
    // of an older page are destroyed, and the page keeps where they were
    // collected (textCapture) for a reader to have them collected again.
    TextLineList* textLines() const { return text_ ? text_->lines : nullptr; }
    // The lines of a render with the capture's page matrix on a device of
    // its size (a list given anew or again after the render). When the page
    // cannot hold them they are destroyed at once: textLines() tells.
    void setTextLines(TextLineList* lines, void (*destroy)(TextLineList*),
                      const TextCapture& capture);
    // Destroys the lines and keeps capture as where they are to be collected
    // when asked for (textLinesDropped() then tells); false, the lines
    // kept, when the page cannot hold where.
    bool deferTextLines(const TextCapture& capture);
    // True once the lines were destroyed to keep those of later pages, or
    // deferred.
    bool textLinesDropped() const { return text_ && text_->dropped; }
    // The render the lines come from (dropped or not).
    TextCapture textCapture() const { return text_ ? text_->capture : TextCapture{}; }

    VISTREL_POOLED_CLASS(PdfPage)

private:
    // hasText from the own /Resources' /ProcSet.
    void readProcSet();
    // Destroys the lines; dropped says why they are gone.
    void destroyTextLines(bool dropped);

    // What rendering left of the page's text; made on its first render, so
    // that the pages a document lists and never renders carry none.
    struct TextRecord {
        TextLineList* lines = nullptr;
        void (*destroy)(TextLineList*) = nullptr;
        TextCapture capture;
        bool dropped = false;
    };

    ContentRunner runner_;
    std::unique_ptr<TextRecord> text_;
    bool hasText_ = true;
};

// A form XObject (class kind 47): a stream with its own content runner over
// its own /Resources (never inherited) and its /Matrix. It is valid when the
// stream is usable and /BBox is a rectangle; /FormType, when present, must be
// the number 1 and /Matrix, when present, an array of six numbers (absent,
// they count as 1 and the identity).
class FormXObject final : public PdfStream {
public:
    FormXObject(const PdfDict& source, InputStream* raw, const uint8_t* fileKey);
    ~FormXObject() override;

    uint16_t classKind() const override;

    ContentRunner& runner() { return runner_; }
    PdfDict* resources() const { return runner_.resources.get(); }
    const Matrix& matrix() const { return matrix_; }

    VISTREL_GLOBAL_ALLOCATOR()

private:
    ContentRunner runner_;
    Matrix matrix_;
};

// A destination table (class kind 40): a copy of a dictionary of named
// destinations (/Dests of the catalog, or the root of a name tree under
// /Names); made from null it is empty.
class DestinationTable final : public PdfDict {
public:
    DestinationTable() = default;
    explicit DestinationTable(const PdfDict& source);

    uint16_t classKind() const override;

    VISTREL_POOLED_CLASS(DestinationTable)
};

PdfPage* asPage(PdfObject* object);
FormXObject* asFormXObject(PdfObject* object);

}  // namespace vistrel

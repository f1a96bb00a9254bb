// Draws one page of an open document onto an output device: the page's
// content through a content interpreter, the words shown kept for search,
// then the borders of its link annotations.
#pragma once

#include <cstdint>

namespace vistrel {

class OutputDevice;
class PdfPage;
class ProgressSink;
struct Matrix;

// Whether a render collects the page's words.
enum class PageText {
    Collect,
    // None are collected: the page keeps where this render would have
    // collected them, for a reader to have them collected then.
    Defer,
};

// pageMatrix maps the page's default user space to device pixels; without
// one nothing is drawn. The sink (may be null) hears the content loop's
// progress. The fifth argument is not read. The page keeps its text lines
// from one render to the next.
void renderPage(PdfPage& page, OutputDevice& device, const Matrix* pageMatrix, ProgressSink* sink,
                std::int32_t reserved, PageText text = PageText::Collect);

}  // namespace vistrel

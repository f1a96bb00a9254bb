// The `ops` command of vistrel-inspect: the operators of one page's content
// as the interpreter runs them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/wstring.h"

namespace vistrel {
class PdfCatalog;
}

// Runs the page's content as page rendering does (the operator state map by
// the page's text mark, its resources, a GDI device over a scratch bitmap of
// the page size at zoom 1) and prints one line per operator on standard
// output: nesting depth (0 for the page, 1 inside a form, ...), the parser
// state before it, the operator, and "ok", "status N" or "dropped". The
// engine starts with the Type 1 loaders over the fonts folder. False, with
// the reason, when the page cannot be had.
bool traceOperators(vistrel::PdfCatalog& catalog, std::int32_t pageNumber,
                    const vistrel::WString& fontsFolder, std::string& why);

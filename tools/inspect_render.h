// The `render` command of vistrel-inspect: pages drawn as the control will
// draw them, written as PNG or PPM images.
#pragma once

#include <string>
#include <vector>

#include "engine/core/wstring.h"

namespace vistrel {
class PdfCatalog;
}

// Checks the command's arguments (after FILE) before the document is read;
// false, with the reason, for a wrong command line.
bool checkRenderArguments(const std::vector<std::string>& arguments, std::string& why);

// Renders the pages the arguments name:
//   PAGES --zoom Z --out PATH [--quality Q] [--memory M]
//   [--set SECTION/KEY=VALUE]... [--progress]
// PAGES is N, N-M or "all"; PATH holds "%d" (the page number) when more than
// one page is written. The engine starts with the Type 1 loaders over the
// fonts folder. Returns the exit status: 0, or 1 with a one-line reason on
// standard error.
int renderPages(vistrel::PdfCatalog& catalog, const std::string& file,
                const std::vector<std::string>& arguments, const vistrel::WString& fontsFolder);

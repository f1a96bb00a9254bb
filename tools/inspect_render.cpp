#include "tools/inspect_render.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/settings_store.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/render/content/progress_sink.h"
#include "tools/page_raster.h"
#include "tools/render_presets.h"

using namespace vistrel;

namespace {

struct RenderOptions {
    std::string pages;
    double zoom = 0;
    std::string out;
    std::int32_t quality = 4;
    std::int32_t memory = 4;
    std::vector<std::string> sets;
    bool progress = false;
};

bool parseInt(const std::string& text, std::int32_t& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && !text.empty();
}

bool parseReal(const std::string& text, double& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && !text.empty() && std::isfinite(out);
}

bool parseOptions(const std::vector<std::string>& args, RenderOptions& o, std::string& why) {
    bool hasZoom = false, hasOut = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                why = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "--progress") {
            o.progress = true;
        } else if (a == "--zoom") {
            if (!value(v))
                return false;
            if (!parseReal(v, o.zoom) || !(o.zoom > 0)) {
                why = "the zoom must be a number above 0";
                return false;
            }
            hasZoom = true;
        } else if (a == "--out") {
            if (!value(o.out))
                return false;
            hasOut = true;
        } else if (a == "--quality" || a == "--memory") {
            if (!value(v))
                return false;
            std::int32_t& level = a == "--quality" ? o.quality : o.memory;
            if (!parseInt(v, level) || level < -1000 || level > 1000) {
                why = a + " must be an integer";
                return false;
            }
        } else if (a == "--set") {
            if (!value(v))
                return false;
            const std::size_t slash = v.find('/'), equals = v.find('=');
            if (slash == 0 || slash == std::string::npos || equals == std::string::npos ||
                equals < slash + 2) {
                why = "--set takes SECTION/KEY=VALUE";
                return false;
            }
            o.sets.push_back(v);
        } else if (o.pages.empty() && a.compare(0, 2, "--") != 0) {
            o.pages = a;
        } else {
            why = "unexpected argument " + a;
            return false;
        }
    }
    if (o.pages.empty() || !hasZoom || !hasOut) {
        why = "render needs PAGES, --zoom and --out";
        return false;
    }
    const std::size_t dot = o.out.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : o.out.substr(dot);
    if (extension != ".png" && extension != ".ppm") {
        why = "the output name must end in .png or .ppm";
        return false;
    }
    return true;
}

// N, N-M or "all" of the document's pages; false for anything else or pages
// it does not have. Only "all" needs the page count: that the last page asked
// for is there tells the rest.
bool pageRange(const std::string& text, PdfCatalog& catalog, std::int32_t& first,
               std::int32_t& last) {
    if (text == "all") {
        first = 1;
        last = catalog.getPageCount();
        return last >= 1;
    }
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parseInt(text, first))
            return false;
        last = first;
    } else if (!parseInt(text.substr(0, dash), first) || !parseInt(text.substr(dash + 1), last)) {
        return false;
    }
    return first >= 1 && first <= last && catalog.getPage(last);
}

// "true"/"false" a boolean, an integer, a real, else text.
SettingValue settingOf(const std::string& text) {
    if (text == "true" || text == "false")
        return SettingValue::ofBoolean(text == "true");
    std::int32_t i;
    if (parseInt(text, i))
        return SettingValue::ofInteger(i);
    double d;
    if (parseReal(text, d))
        return SettingValue::ofReal(d);
    return SettingValue::ofText(WString::fromUtf8(text));
}

void applySetting(const std::string& assignment) {
    const std::size_t slash = assignment.find('/'), equals = assignment.find('=');
    settingsStore().set(WString::fromUtf8(assignment.substr(0, slash)),
                        WString::fromUtf8(assignment.substr(slash + 1, equals - slash - 1)),
                        settingOf(assignment.substr(equals + 1)));
}

std::string outputName(const std::string& pattern, std::int32_t page) {
    std::string out = pattern;
    const std::size_t at = out.find("%d");
    if (at != std::string::npos)
        out.replace(at, 2, std::to_string(page));
    return out;
}

// The sink the control will be: progress on standard error when asked.
class ProgressPrinter : public ProgressSink {
public:
    explicit ProgressPrinter(bool print) : print_(print) {}
    void startProgressIndicator() override {
        if (print_)
            std::fprintf(stderr, "progress start\n");
    }
    void stopProgressIndicator() override {
        if (print_)
            std::fprintf(stderr, "progress stop\n");
    }
    void setProgressIndicator(std::uint16_t percentage) override {
        if (print_)
            std::fprintf(stderr, "progress %u\n", unsigned(percentage));
    }

private:
    bool print_;
};

int fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "vistrel-inspect: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

}  // namespace

bool checkRenderArguments(const std::vector<std::string>& arguments, std::string& why) {
    RenderOptions o;
    return parseOptions(arguments, o, why);
}

int renderPages(PdfCatalog& catalog, const std::string& file,
                const std::vector<std::string>& arguments, const WString& fontsFolder) {
    RenderOptions o;
    std::string why;
    if (!parseOptions(arguments, o, why))
        return fail(file, why);
    std::int32_t first = 0, last = 0;
    if (!pageRange(o.pages, catalog, first, last))
        return fail(file, "no such pages: " + o.pages);
    if (first != last && o.out.find("%d") == std::string::npos)
        return fail(file, "the output name needs %d for more than one page");

    startRendering(o.quality, o.memory, fontsFolder);
    for (const std::string& s : o.sets)
        applySetting(s);
    ProgressPrinter sink(o.progress);
    PageBitmap bitmap;
    for (std::int32_t number = first; number <= last; ++number) {
        Ref<PdfPage> page = catalog.getPage(number);
        if (!page)
            return fail(file, "page " + std::to_string(number) + " cannot be read");
        if (!renderPageBitmap(*page, o.zoom, sink, bitmap, why))
            return fail(file, "page " + std::to_string(number) + ": " + why);
        if (!writePageImage(bitmap, outputName(o.out, number), why))
            return fail(file, why);
    }
    return 0;
}

// Helpers shared by the tests of this folder: a document built in memory, a
// device, a font and a progress sink that record what they are asked, and
// the running of content through the loop.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/doc/content_runner.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/progress_sink.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel::test {

// "%g" text of a number.
inline std::string num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A stream object's text: the dictionary entries, /Length, the data.
inline std::string streamObject(const std::string& entries, const std::string& data) {
    return "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

// A one-page document in memory. Object 1 is the catalog, 2 the pages node
// (with the given extra entries), 3 the page with the given extra entries;
// the given objects are 4, 5, ...
class TestDocument {
public:
    TestDocument(const std::string& pageEntries, const std::vector<std::string>& objects,
                 const std::string& pagesEntries = "") {
        std::vector<std::string> all = {
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 " + pagesEntries + " >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] " + pageEntries + " >>"};
        all.insert(all.end(), objects.begin(), objects.end());
        bytes_ = "%PDF-1.4\n";
        std::vector<size_t> offsets;
        for (size_t i = 0; i < all.size(); ++i) {
            offsets.push_back(bytes_.size());
            bytes_ += std::to_string(i + 1) + " 0 obj\n" + all[i] + "\nendobj\n";
        }
        const size_t xref = bytes_.size();
        bytes_ += "xref\n0 " + std::to_string(all.size() + 1) + "\n0000000000 65535 f \n";
        for (size_t offset : offsets) {
            char line[32];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
            bytes_ += line;
        }
        bytes_ += "trailer\n<< /Size " + std::to_string(all.size() + 1) +
                  " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        input_ = std::make_unique<MemoryInputStream>(bytes_.data(), bytes_.size());
        doc_ = std::make_unique<PdfDocument>(input_.get(), false);
        catalog_ = std::make_unique<PdfCatalog>(doc_.get());
        page_ = catalog_->getPage(1);
    }
    ~TestDocument() {
        page_ = nullptr;
        refs_.clear();
        catalog_.reset();
        doc_.reset();
    }

    PdfPage* page() const { return page_.get(); }
    // Object `number`, resolved; kept alive by the document.
    PdfObject* object(int32_t number) {
        refs_.push_back(makeRef<PdfRef>(doc_.get(), number, 0));
        return refs_.back()->direct();
    }

private:
    std::string bytes_;
    std::unique_ptr<MemoryInputStream> input_;
    std::unique_ptr<PdfDocument> doc_;
    std::unique_ptr<PdfCatalog> catalog_;
    Ref<PdfPage> page_;
    std::vector<Ref<PdfRef>> refs_;
};

// Font dictionaries typed as the font layer types them (class kind 44), for
// the tests that make their own fonts (setFontDictFactory, setFontMaker).
class TestFontDict final : public PdfDict {
public:
    explicit TestFontDict(const PdfDict& source) : PdfDict(source) {}
    std::uint16_t classKind() const override { return kClassFontDict; }
    VISTREL_POOLED_CLASS(TestFontDict)
};

inline ObjectRef makeTestFontDict(const PdfDict& dict) {
    return makeRef<TestFontDict>(dict);
}

// A GdiDevice over a canvas that logs the state it is given: "width 12",
// "dash 3 1 phase 0", "cap 1", "join 2", "miter 4", "fill 255", "stroke 0",
// "save", "restore", "clip 1 x0 y0 x1 y1" (the shape's box).
class RecordingGdiDevice : public GdiDevice {
public:
    explicit RecordingGdiDevice(Canvas& canvas)
        : GdiDevice(canvas.dc, IntPoint(canvas.width, canvas.height)) {}

    std::vector<std::string> log;

    void SetLineWidth(double width) override {
        log.push_back("width " + num(width));
        GdiDevice::SetLineWidth(width);
    }
    void SetDash(const std::vector<std::int32_t>& dashes, int phase) override {
        std::string s = "dash";
        for (std::int32_t d : dashes)
            s += " " + std::to_string(d);
        log.push_back(s + " phase " + std::to_string(phase));
        GdiDevice::SetDash(dashes, phase);
    }
    void SetLineCap(int cap) override {
        log.push_back("cap " + std::to_string(cap));
        GdiDevice::SetLineCap(cap);
    }
    void SetLineJoin(int join) override {
        log.push_back("join " + std::to_string(join));
        GdiDevice::SetLineJoin(join);
    }
    void SetMiterLimit(double limit) override {
        log.push_back("miter " + num(limit));
        GdiDevice::SetMiterLimit(limit);
    }
    bool SetFillColor(const DeviceColor& color) override {
        log.push_back("fill " + std::to_string(color.value()));
        return GdiDevice::SetFillColor(color);
    }
    bool SetStrokeColor(const DeviceColor& color) override {
        log.push_back("stroke " + std::to_string(color.value()));
        return GdiDevice::SetStrokeColor(color);
    }
    bool SaveClip() override {
        log.push_back("save");
        return GdiDevice::SaveClip();
    }
    bool RestoreClip() override {
        log.push_back("restore");
        return GdiDevice::RestoreClip();
    }
    bool ClipToShape(Shape& shape, int rule) override {
        IntPoint lo, hi;
        shape.BoundingBox(lo, hi);
        log.push_back("clip " + std::to_string(rule) + " " + std::to_string(lo.x) + " " +
                      std::to_string(lo.y) + " " + std::to_string(hi.x) + " " +
                      std::to_string(hi.y));
        return GdiDevice::ClipToShape(shape, rule);
    }

    // The entries of the log that begin with `prefix`.
    std::vector<std::string> entries(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& s : log) {
            if (s.compare(0, prefix.size(), prefix) == 0)
                out.push_back(s);
        }
        return out;
    }
};

// A font that logs the calls it gets: "Tc 2", "moveText 10 20",
// "setTextMatrix a b c d e f" (and " line a b c d e f" when a line matrix is
// given), "attach", "detach", ...
class RecordingFont : public FontRenderer {
public:
    std::vector<std::string> log;
    OutputDevice* device = nullptr;

    bool attachDevice(OutputDevice* d, ContentInterpreter*) override {
        log.push_back("attach");
        if (device || !d)
            return false;
        device = d;
        return true;
    }
    bool detachDevice() override {
        log.push_back("detach");
        if (!device)
            return false;
        device = nullptr;
        return true;
    }
    void setCharSpacing(double v) override { log.push_back("Tc " + num(v)); }
    void setWordSpacing(double v) override { log.push_back("Tw " + num(v)); }
    void setHorizontalScale(double v) override { log.push_back("Tz " + num(v)); }
    void setLeading(double v) override { log.push_back("TL " + num(v)); }
    void setFontSize(double v) override { log.push_back("size " + num(v)); }
    void setRenderMode(std::int32_t v) override {
        log.push_back("Tr " + std::to_string(v));
        FontRenderer::setRenderMode(v);
    }
    void setRise(double v) override { log.push_back("Ts " + num(v)); }
    void setTextMatrix(const Matrix& tm, const Matrix* lm) override {
        std::string s = "setTextMatrix " + text(tm);
        if (lm)
            s += " line " + text(*lm);
        log.push_back(s);
    }
    void moveText(double tx, double ty) override {
        log.push_back("moveText " + num(tx) + " " + num(ty));
    }
    void nextLine() override { log.push_back("nextLine"); }
    void fillColorChanged() override { log.push_back("fillColorChanged"); }
    void strokeColorChanged() override { log.push_back("strokeColorChanged"); }

    static std::string text(const Matrix& m) {
        return num(m.a) + " " + num(m.b) + " " + num(m.c) + " " + num(m.d) + " " + num(m.e) + " " +
               num(m.f);
    }
};

class RecordingSink : public ProgressSink {
public:
    std::vector<std::string> events;
    void startProgressIndicator() override { events.push_back("start"); }
    void stopProgressIndicator() override { events.push_back("stop"); }
    void setProgressIndicator(std::uint16_t p) override { events.push_back(std::to_string(p)); }
};

// Lines "depth state operator outcome" of every operator run.
class TraceLog : public StepObserver {
public:
    std::vector<std::string> lines;
    void operatorDone(const OperatorTrace& t) override {
        std::string outcome = !t.handled      ? "dropped"
                              : t.status == 0 ? "ok"
                                              : "status " + std::to_string(t.status);
        lines.push_back(std::to_string(t.depth) + " " + std::to_string(t.state) + " " +
                        static_cast<const PdfString*>(t.op)->textValue().toLatin1() + " " +
                        outcome);
    }
};

// Runs content text through the runner on the interpreter.
inline void runText(ContentInterpreter& in, ContentRunner& runner, const std::string& content) {
    MemoryInputStream input(content.data(), content.size());
    InputStream* saved = in.contentInput();
    in.setContentInput(&input);
    runContentStream(runner, in);
    in.setContentInput(saved);
}

// Runs content text step by step with the interpreter's own state map (the
// loop would put the full map in its place).
inline void stepText(ContentInterpreter& in, const std::string& content) {
    MemoryInputStream input(content.data(), content.size());
    Tokenizer tokenizer(&input);
    ObjectParser parser(&tokenizer);
    OperationReader reader(&parser);
    in.enterRun();
    reader.run(in);
    in.leaveRun();
}

// An interpreter over a recording device on a small canvas, running content
// text through the loop.
struct Session {
    explicit Session(const Matrix& base = Matrix{}, int size = 16)
        : canvas(size, size), device(canvas) {
        in.setDevice(&device);
        in.setBaseMatrix(base);
        in.setStepObserver(&trace);
    }
    void run(const std::string& content) { runText(in, runner, content); }
    std::string lastWidth() const {
        std::vector<std::string> w = device.entries("width");
        return w.empty() ? "none" : w.back();
    }

    Canvas canvas;
    RecordingGdiDevice device;
    ContentInterpreter in{fullOperatorStateMap(), kStatePage, true};
    ContentRunner runner;
    TraceLog trace;
};

// The GDI device over a whole canvas, recording nothing.
class CanvasGdiDevice : public GdiDevice {
public:
    explicit CanvasGdiDevice(Canvas& canvas)
        : GdiDevice(canvas.dc, IntPoint(canvas.width, canvas.height)) {}
};

// A test document's page whose content runs on a canvas (128 x 128 unless
// given) through the page's own runner, every operator traced.
template <class Device = RecordingGdiDevice>
struct DocumentPage {
    DocumentPage(const std::string& pageEntries, const std::vector<std::string>& objects,
                 int width = 128, int height = 128)
        : doc(pageEntries, objects), canvas(width, height), device(canvas) {
        in.setDevice(&device);
        in.setResources(doc.page()->resources());
        in.setStepObserver(&trace);
    }
    void run(const std::string& content) {
        MemoryInputStream input(content.data(), content.size());
        pageInput = &input;
        in.setContentInput(&input);
        runContentStream(doc.page()->runner(), in);
    }

    TestDocument doc;
    Canvas canvas;
    Device device;
    ContentInterpreter in{fullOperatorStateMap(), kStatePage, true};
    TraceLog trace;
    // The page's own content input of the last run (gone once it returns:
    // for comparing with the inputs an observer saw).
    InputStream* pageInput = nullptr;
};

}  // namespace vistrel::test

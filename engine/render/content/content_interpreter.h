// The state of one page's content execution: the operand stack the content
// loop fills, the parser state and its operator table, the current graphics
// and text state with the stacks "q" and "Q" use, the resources named
// operands are looked up in, the device drawn on, and the two matrices from
// content space to device pixels. One interpreter serves a page's run and
// every nested run (forms, glyph procedures).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/content/font_use_map.h"
#include "engine/render/content/graphics_state.h"
#include "engine/render/content/operand_stack.h"
#include "engine/render/content/operator_tables.h"
#include "engine/render/raster/drawable_base.h"
#include "engine/render/raster/work_meter.h"

namespace vistrel {

class FontRenderer;
class InputStream;
class OperationReader;
class OutputDevice;
class ProgressSink;
class TextLineList;

// What one step did with an operator, for tracing tools.
struct OperatorTrace {
    std::int32_t depth;   // 0 for the outermost content, 1 for a form it draws, ...
    std::int32_t state;   // the parser state before the operator
    const PdfObject* op;  // the operator keyword
    bool handled;         // false when the state's table does not hold it (dropped)
    std::int32_t status;  // the handler's status when handled
};

// The images drawn while a keeper is set (see setImageKeeper): how many, and
// a copy of the last one as it was made, before the device drew it (none when
// its data ended early), with the current and the device matrix it was drawn
// under.
struct KeptImage {
    std::int32_t count = 0;
    std::unique_ptr<DrawableBase> image;
    Matrix ctm;
    Matrix deviceMatrix;
};

// A counted reference to an interpreter that may outlive it: the interpreter
// clears it when it goes, so that an object kept longer than one page run (a
// Type 3 font) can tell whether the interpreter it was given still exists.
class InterpreterLink {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    InterpreterLink(const InterpreterLink&) = delete;
    InterpreterLink& operator=(const InterpreterLink&) = delete;

    // The interpreter, or null once it is destroyed.
    ContentInterpreter* get() const { return interpreter_; }

    void addRef() { ++refCount_; }
    void release() {
        if (--refCount_ == 0)
            delete this;
    }

private:
    friend class ContentInterpreter;
    explicit InterpreterLink(ContentInterpreter* interpreter) : interpreter_(interpreter) {}
    ~InterpreterLink() = default;

    ContentInterpreter* interpreter_;
    std::uint32_t refCount_ = 1;
};

class StepObserver {
public:
    virtual ~StepObserver() = default;
    // Called after each operator; must not change the interpreter.
    virtual void operatorDone(const OperatorTrace& trace) = 0;
};

class ContentInterpreter {
public:
    // Deepest nesting of forms (and glyph procedures) inside the outermost
    // content.
    static constexpr std::int32_t kMaxNesting = 32;

    // Starts in `state` with the table the map holds for it; with
    // withTextState the interpreter keeps a text state and its stack.
    ContentInterpreter(const OperatorStateMap& map, std::int32_t state, bool withTextState);
    ~ContentInterpreter();
    ContentInterpreter(const ContentInterpreter&) = delete;
    ContentInterpreter& operator=(const ContentInterpreter&) = delete;

    // Construction succeeded.
    bool ok() const { return ok_; }
    // The interpreter's link (null when memory ran out).
    InterpreterLink* link() const { return link_.get(); }

    // One pass of the content loop: reads operands up to an operator and
    // runs its handler. Returns the handler's status, 1 when the current
    // state does not accept the operator, 2 when the input has ended or the
    // reader is not usable.
    std::int32_t step(OperationReader& reader);

    // Parser state: stores it and makes the table the state map holds for it
    // current (none when the map has none: every operator is then dropped).
    void setMode(std::int32_t state);
    std::int32_t mode() const { return state_; }
    const OperatorTable* currentTable() const { return table_; }
    // Replaces the map without choosing a table anew.
    void setStateMap(const OperatorStateMap& map) { map_ = &map; }
    const OperatorStateMap* stateMap() const { return map_; }

    ContentOperandStack& operands() { return operands_; }

    GraphicsState& graphicsState() { return *graphics_; }
    // Null for an interpreter without a text state.
    TextState* textState() { return text_.get(); }
    bool hasTextState() const { return hasTextState_; }
    std::size_t savedStateCount() const { return savedGraphics_.size(); }

    // "q": keeps the current states and continues with copies; the device
    // saves its clip.
    void saveGraphicsState();
    // "Q": the saved states come back (fresh default ones when none are
    // saved), and the device and the font are given them again.
    void restoreGraphicsState();
    // Hands the graphics state to the device (colours, line style, the clip
    // saved last) and the text state to the current font.
    void applyStateToDevice();
    // Only the colours and the line style of the graphics state to the
    // device.
    void applyPaintStateToDevice();
    // Hands the text state to a font: its parameters, and its matrices in
    // device terms.
    void applyTextState(FontRenderer& font) const;

    // The value under `name` in the resource category (a dictionary, also
    // through a reference), not dereferenced; null when absent.
    PdfObject* findResource(const PdfObject& category, const PdfObject& name) const;

    // Base matrix: content space to device pixels at the identity CTM. The
    // device matrix is CTM x base.
    const Matrix& baseMatrix() const { return base_; }
    void setBaseMatrix(const Matrix& base);
    const Matrix& deviceMatrix() const { return deviceMatrix_; }
    // Device matrix := CTM x base, after the CTM changed.
    void updateDeviceMatrix();
    // The stored line width in device pixels: scaled by the square root of
    // the absolute determinant of CTM x base.
    double deviceLineWidth() const;
    // Hands the stored dash list and phase to the device in whole pixels,
    // scaled as the line width is. A list of odd length goes as one of
    // twice its length (its dashes and gaps swap on every repetition).
    void setDeviceDash() const;

    InputStream* contentInput() const { return input_; }
    void setContentInput(InputStream* input) { input_ = input; }
    PdfDict* resources() const { return resources_; }
    void setResources(PdfDict* resources) { resources_ = resources; }
    ProgressSink* progressSink() const { return sink_; }
    void setProgressSink(ProgressSink* sink) { sink_ = sink; }
    OutputDevice* device() const { return device_; }
    // The device is handed the page's work meter, to charge what it paints
    // (the device given before gives it back).
    void setDevice(OutputDevice* device);
    TextLineList* textLines() const { return textLines_; }
    bool capture() const { return capture_; }
    void setTextCapture(TextLineList* lines, bool capture) {
        textLines_ = lines;
        capture_ = capture;
    }

    // The fonts of the current run ("Tf" makes the map).
    FontUseMap* fontUseMap() const { return fonts_.get(); }
    void setFontUseMap(std::unique_ptr<FontUseMap> fonts) { fonts_ = std::move(fonts); }
    std::unique_ptr<FontUseMap> takeFontUseMap() { return std::move(fonts_); }

    // Nested content. enterNested is false, changing nothing, when the
    // content under `key` is being run already (directly or through a
    // cycle) or when kMaxNesting levels are open; otherwise the caller runs
    // it and then calls leaveNested.
    bool enterNested(const void* key);
    void leaveNested(const void* key);
    std::int32_t nestingDepth() const { return std::int32_t(nested_.size()); }

    // The work of one page (see WorkMeter): each run of the content loop
    // (the page's, a form's, a glyph procedure's), each operator and byte it
    // reads, each image sample decoded and what the device paints charge it. Once
    // the budget is spent, every run ends where it is, as at the end of its
    // content, images read no further row and the device paints nothing:
    // forms that draw each other many times over, or a page that paints its
    // whole area over and over, cannot keep a page busy for good. Images are
    // charged lightly, as pages of large scans are common.
    static constexpr std::uint64_t kWorkBudget = WorkMeter::kBudget;
    static constexpr std::uint64_t kOperatorWork = 256;
    // Each byte of content read costs this on top of the operators.
    static constexpr std::uint64_t kByteWork = 16;
    // A run costs this for every run open once it has started: the page's
    // own run one, a form the page draws two, a form that form draws three.
    // Forms that multiply their draws by drawing each other must nest, and
    // each level costs more, while a page that draws a marker form a few
    // hundred thousand times draws whole.
    static constexpr std::uint64_t kRunWork = 2 * kOperatorWork;
    // The charge of a run that starts now.
    std::uint64_t runWork() const { return kRunWork * std::uint64_t(runDepth_ + 1); }
    void chargeWork(std::uint64_t units) { meter_.charge(units); }
    bool workSpent() const { return meter_.spent(); }
    std::uint64_t workDone() const { return meter_.done(); }

    // Runs of the content loop that are under way (1 during a page's own
    // content).
    std::int32_t runDepth() const { return runDepth_; }
    void enterRun() { ++runDepth_; }
    void leaveRun() { --runDepth_; }

    void setStepObserver(StepObserver* observer) { observer_ = observer; }
    StepObserver* stepObserver() const { return observer_; }

    // While a keeper is set, every image drawn is counted in it and copied
    // into it (a font that draws the same glyph image again keeps it).
    void setImageKeeper(KeptImage* keeper) { keeper_ = keeper; }
    KeptImage* imageKeeper() const { return keeper_; }

private:
    void trace(const PdfObject* op, bool handled, std::int32_t state, std::int32_t status);

    ContentOperandStack operands_;
    const OperatorTable* table_ = nullptr;
    const OperatorStateMap* map_;
    std::int32_t state_ = kStatePage;
    std::unique_ptr<FontUseMap> fonts_;
    std::unique_ptr<GraphicsState> graphics_;
    std::unique_ptr<TextState> text_;
    InputStream* input_ = nullptr;
    PdfDict* resources_ = nullptr;
    ProgressSink* sink_ = nullptr;
    OutputDevice* device_ = nullptr;
    TextLineList* textLines_ = nullptr;
    bool capture_ = false;
    bool hasTextState_;
    std::vector<std::unique_ptr<GraphicsState>> savedGraphics_;
    std::vector<std::unique_ptr<TextState>> savedText_;
    bool ok_ = false;
    Matrix base_;
    Matrix deviceMatrix_;

    Ref<InterpreterLink> link_;
    std::vector<const void*> nested_;
    std::int32_t runDepth_ = 0;
    WorkMeter meter_;
    StepObserver* observer_ = nullptr;
    KeptImage* keeper_ = nullptr;
};

// The font object of the text state's current font; null when there is no
// text state, no font or no font object. A handle without a font object is
// bound first, and the font it gets is attached to the interpreter's device
// and to the interpreter itself and given the text state.
FontRenderer* currentFont(ContentInterpreter& interpreter);

}  // namespace vistrel

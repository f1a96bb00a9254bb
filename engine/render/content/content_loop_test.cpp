#include "engine/render/content/content_loop.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/content/content_stream_input.h"
#include "engine/render/content/content_test_util.h"
#include "engine/render/content/font_use_map.h"
#include "platform/files/win_time.h"

namespace vistrel {
namespace {

using test::RecordingSink;
using test::streamObject;
using test::TestDocument;
using test::TraceLog;

// The tokens of an input, as text.
std::vector<std::string> tokens(InputStream& input) {
    Tokenizer tokenizer(&input);
    std::vector<std::string> out;
    while (tokenizer.NextToken() != Tokenizer::kEnd)
        out.push_back(tokenizer.text.toLatin1());
    return out;
}

std::string deflate(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9);
    out.resize(size);
    return out;
}

TEST(ContentStreamInputTest, JoinsTheStreamsOfTheContents) {
    const std::vector<std::string> objects = {streamObject("", "0 0 m 12"),
                                              streamObject("", "3 0 l S"), "42", "/Name",
                                              streamObject("", "")};
    const struct {
        const char* contents;
        bool ok;
        std::vector<std::string> tokens;
    } cases[] = {
        {"4 0 R", true, {"0", "0", "m", "12"}},
        {"[4 0 R 5 0 R]", true, {"0", "0", "m", "123", "0", "l", "S"}},
        {"[8 0 R 4 0 R 8 0 R 5 0 R]", true, {"0", "0", "m", "123", "0", "l", "S"}},
        {"[]", false, {}},
        {"[4 0 R 6 0 R 5 0 R]", true, {"0", "0", "m", "12"}},
        {"[6 0 R 4 0 R]", false, {}},
        {"7 0 R", false, {}},
        {"null", false, {}},
    };
    for (const auto& c : cases) {
        TestDocument doc(std::string("/Contents ") + c.contents, objects);
        ContentStreamInput input(doc.page()->get(names::Contents));
        EXPECT_EQ(input.ok(), c.ok) << c.contents;
        EXPECT_EQ(tokens(input), c.tokens) << c.contents;
        EXPECT_TRUE(input.atEnd()) << c.contents;
    }
}

// Length and position count the encoded bytes; a /Length that is not a
// number counts 0.
TEST(ContentStreamInputTest, LengthAndPositionInEncodedBytes) {
    const std::string plain(3000, ' ');
    const std::string packed = deflate(plain + "q Q");
    const std::vector<std::string> objects = {
        "<< /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " >>\nstream\n" +
            packed + "\nendstream",
        streamObject("", "0 w"), "<< /Length (x) >>\nstream\nQ\nendstream"};
    {
        TestDocument doc("/Contents 4 0 R", objects);
        ContentStreamInput input(doc.page()->get(names::Contents));
        EXPECT_EQ(input.size(), packed.size());
        EXPECT_EQ(input.position(), 0u);
        EXPECT_EQ(tokens(input), (std::vector<std::string>{"q", "Q"}));
        EXPECT_EQ(input.position(), packed.size());
    }
    {
        TestDocument doc("/Contents [4 0 R 5 0 R]", objects);
        ContentStreamInput input(doc.page()->get(names::Contents));
        EXPECT_EQ(input.size(), packed.size() + 3);
        for (size_t i = 0; i < plain.size() + 4; ++i)
            input.getByte();
        EXPECT_EQ(input.position(), packed.size() + 1);
    }
    {
        TestDocument doc("/Contents [5 0 R 6 0 R]", objects);
        ContentStreamInput input(doc.page()->get(names::Contents));
        EXPECT_EQ(input.size(), 3u);
    }
}

// A clock that moves `step` milliseconds at every reading.
win::DWORD clockNow = 0;
win::DWORD clockStep = 0;
win::DWORD fakeClock() {
    clockNow += clockStep;
    return clockNow;
}

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldSource_ = win::SetTickCountSource(fakeClock);
        clockNow = 1000000;
        clockStep = 100;
        settingsStore().save(settings::Interface, settings::ProgressIndicator);
    }
    void TearDown() override {
        win::SetTickCountSource(oldSource_);
        settingsStore().save(settings::Interface, settings::ProgressIndicator);
    }

    // Runs the content over `input` with the sink; answers the sink's events.
    std::vector<std::string> run(InputStream& input, ProgressSink* sink) {
        ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
        in.setProgressSink(sink);
        in.setContentInput(&input);
        ContentRunner runner;
        runContentStream(runner, in);
        return sink ? static_cast<RecordingSink*>(sink)->events : std::vector<std::string>{};
    }

private:
    win::TickCountSource oldSource_ = nullptr;
};

// Many small operators: the position moves by four bytes per step.
std::string manyOperators() {
    std::string s;
    for (int i = 0; i < 250; ++i)
        s += "q Q ";
    return s;
}

TEST_F(ProgressTest, SettingAndSink) {
    const struct {
        const char* what;
        bool set;
        SettingValue value;
        bool sink;
        bool reports;
    } cases[] = {
        {"missing", false, {}, true, true},
        {"text true", true, SettingValue::ofText(WString(u"true")), true, true},
        {"integer 2", true, SettingValue::ofInteger(2), true, true},
        {"text false", true, SettingValue::ofText(WString(u"false")), true, false},
        {"text other", true, SettingValue::ofText(WString(u"yes")), true, false},
        {"integer 0", true, SettingValue::ofInteger(0), true, false},
        {"real 0", true, SettingValue::ofReal(0.0), true, false},
        {"boolean false", true, SettingValue::ofBoolean(false), true, false},
        {"no kind", true, SettingValue{}, true, false},
        {"no sink", false, {}, false, false},
    };
    const std::string content = manyOperators();
    for (const auto& c : cases) {
        if (c.set)
            settingsStore().set(settings::Interface, settings::ProgressIndicator, c.value);
        else
            settingsStore().save(settings::Interface, settings::ProgressIndicator);
        RecordingSink sink;
        MemoryInputStream input(content.data(), content.size());
        std::vector<std::string> events = run(input, c.sink ? &sink : nullptr);
        EXPECT_EQ(input.atEnd(), true) << c.what;
        if (!c.reports) {
            EXPECT_TRUE(events.empty()) << c.what;
            continue;
        }
        ASSERT_GE(events.size(), 3u) << c.what;
        EXPECT_EQ(events.front(), "start");
        EXPECT_EQ(events.back(), "stop");
    }
}

TEST_F(ProgressTest, EmptyContentStillStartsAndStops) {
    RecordingSink sink;
    MemoryInputStream input("", 0);
    EXPECT_EQ(run(input, &sink), (std::vector<std::string>{"start", "stop"}));
}

// At most one report per 500 ms, only on a change, never 0 %: with the clock
// moving 100 ms per step a report comes at most every sixth step.
TEST_F(ProgressTest, ThrottledToOneReportPer500Milliseconds) {
    const std::string content = manyOperators();
    RecordingSink sink;
    MemoryInputStream input(content.data(), content.size());
    std::vector<std::string> events = run(input, &sink);
    std::vector<std::string> want = {"start"};
    // Before step i (from 0) of the 500 one-letter operators the position is
    // 2i - 1: the first percentage that is not 0 comes at step 6, and from
    // then on every sixth step reports.
    for (int i = 6; i < 500; i += 6)
        want.push_back(std::to_string((2 * i - 1) * 100 / 1000));
    want.push_back("stop");
    EXPECT_EQ(events, want);
}

// An input that reports its length and position a billion times larger.
class HugeInput : public MemoryInputStream {
public:
    using MemoryInputStream::MemoryInputStream;
    std::uint64_t size() override { return MemoryInputStream::size() * 1000000000ull; }
    std::uint64_t position() override { return MemoryInputStream::position() * 1000000000ull; }
};

// An input that reports half its length: the percentage stops at 100.
class ShortLengthInput : public MemoryInputStream {
public:
    using MemoryInputStream::MemoryInputStream;
    std::uint64_t size() override { return MemoryInputStream::size() / 2; }
};

TEST_F(ProgressTest, PercentageStopsAt100) {
    const std::string content = manyOperators();
    RecordingSink sink;
    ShortLengthInput input(content.data(), content.size());
    std::vector<std::string> events = run(input, &sink);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 2], "100");
    for (size_t i = 1; i + 1 < events.size(); ++i)
        EXPECT_LE(std::stoi(events[i]), 100);
}

TEST_F(ProgressTest, PercentagesOfLongContentDoNotWrap) {
    const std::string content = manyOperators();
    RecordingSink small, huge;
    MemoryInputStream smallInput(content.data(), content.size());
    HugeInput hugeInput(content.data(), content.size());
    const std::vector<std::string> expected = run(smallInput, &small);
    clockNow = 1000000;
    EXPECT_EQ(run(hugeInput, &huge), expected);
}

// Rendering again reuses the runner's tokenizer, parser and reader and starts
// at the beginning of the new input; what the last run left in the parser is
// dropped.
TEST(ContentLoopTest, SecondRunReusesTheRunner) {
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    TraceLog trace;
    in.setStepObserver(&trace);
    ContentRunner runner;
    test::runText(in, runner, "1 0 0 1 5 5 cm q 2 ] Q");
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"0 1 cm ok", "0 1 q ok"}));
    const Tokenizer* tokenizer = runner.tokenizer.get();
    const ObjectParser* parser = runner.parser.get();
    trace.lines.clear();
    test::runText(in, runner, "Q 3 w");
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"0 1 Q ok", "0 1 w ok"}));
    EXPECT_EQ(runner.tokenizer.get(), tokenizer);
    EXPECT_EQ(runner.parser.get(), parser);
    EXPECT_EQ(in.operands().count(), 0);
}

// In the inline-image state the operands are kept across operators: "BI"
// leaves two markers, the image's keys and values collect above them, and
// "ID" takes them down to the first marker; any other operator there drops
// them like anywhere else.
TEST(ContentLoopTest, OperandsAccumulateInTheInlineImageState) {
    class Counts : public StepObserver {
    public:
        explicit Counts(ContentInterpreter& in) : in_(in) {}
        std::vector<int> counts;
        void operatorDone(const OperatorTrace&) override {
            counts.push_back(in_.operands().count());
        }

    private:
        ContentInterpreter& in_;
    };
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    Counts counts(in);
    in.setStepObserver(&counts);
    ContentRunner runner;
    test::runText(in, runner, "BI /W 4 /H 2 ID EI 7 BI /W 4 q /H 2 ID EI");
    EXPECT_EQ(counts.counts, (std::vector<int>{2, 1, 0, 3, 0, 0, 0}));
}

// A parser that makes operators out of nothing: the loop ends the run after
// a long series of steps that read no byte.
class EndlessParser : public ObjectParser {
public:
    using ObjectParser::ObjectParser;
    ObjectRef objectOfToken(int) override { return makeRef<PdfKeyword>(WString(u"q")); }
};

TEST(ContentLoopTest, StepsThatReadNothingEndTheRun) {
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    TraceLog trace;
    in.setStepObserver(&trace);
    MemoryInputStream input("", 0);
    in.setContentInput(&input);
    ContentRunner runner;
    runner.tokenizer = std::make_unique<Tokenizer>(&input);
    runner.parser = std::make_unique<EndlessParser>(runner.tokenizer.get());
    runner.reader = {new OperationReader(runner.parser.get()),
                     [](OperationReader* r) { delete r; }};
    runContentStream(runner, in);
    EXPECT_EQ(trace.lines.size(), size_t(kMaxIdleSteps));
}

// The reader's own step and run: one operation at a time with the status of
// its handler (1 for an operator the state does not take), then the rest of
// the content to its end, where a step gives 2. A reader without a parser
// has ended before it starts; one whose parser makes operators out of
// nothing ends its run after a long series of steps that read no byte.
TEST(OperationReaderTest, StepAndRun) {
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    TraceLog trace;
    in.setStepObserver(&trace);
    in.enterRun();
    const std::string content = "BT Tj 1 w 2 Tc ET 2 Tc q 3 w Q";
    MemoryInputStream input(content.data(), content.size());
    Tokenizer tokenizer(&input);
    ObjectParser parser(&tokenizer);
    OperationReader reader(&parser);
    for (std::int32_t status : {kStatusDone, kStatusTooFewOperands, kStatusDone, kStatusDone,
                                kStatusDone, kStatusUnknownOperator}) {
        EXPECT_EQ(reader.step(in), status);
        EXPECT_FALSE(reader.ended());
    }
    EXPECT_EQ(trace.lines.size(), 6u);
    EXPECT_EQ(in.operands().count(), 0);
    reader.run(in);
    EXPECT_TRUE(reader.ended());
    EXPECT_EQ(std::vector<std::string>(trace.lines.begin() + 6, trace.lines.end()),
              (std::vector<std::string>{"0 1 q ok", "0 1 w ok", "0 1 Q ok"}));
    EXPECT_EQ(reader.step(in), kStatusEnded);

    OperationReader none(nullptr);
    EXPECT_FALSE(none.ok());
    EXPECT_TRUE(none.ended());
    EXPECT_EQ(none.step(in), kStatusEnded);
    none.run(in);

    MemoryInputStream empty("", 0);
    Tokenizer endlessTokenizer(&empty);
    EndlessParser endless(&endlessTokenizer);
    OperationReader endlessReader(&endless);
    trace.lines.clear();
    endlessReader.run(in);
    EXPECT_TRUE(endlessReader.ended());
    EXPECT_EQ(trace.lines.size(), size_t(kMaxIdleSteps));
    in.leaveRun();
}

// The fonts a run selects are detached from the device when it ends; those
// of the enclosing run are attached again.
TEST(ContentLoopTest, FontsOfARunAreDetachedAndTheEnclosingOnesAttached) {
    test::RecordingFont outer, inner;
    ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
    test::Canvas canvas(8, 8);
    GdiDevice device(canvas.dc, IntPoint(8, 8));
    in.setDevice(&device);
    auto map = std::make_unique<FontUseMap>();
    map->put(makeRef<PdfName>(WString(u"/F1")), makeRef<FontHandle>(&outer));
    in.setFontUseMap(std::move(map));

    // Stands in for "Tf" selecting a font during the run.
    class SelectFont : public StepObserver {
    public:
        SelectFont(ContentInterpreter& in, FontRenderer* font) : in_(in), font_(font) {}
        void operatorDone(const OperatorTrace&) override {
            EXPECT_EQ(in_.fontUseMap(), nullptr);
            auto map = std::make_unique<FontUseMap>();
            map->put(makeRef<PdfName>(WString(u"/F2")), makeRef<FontHandle>(font_));
            in_.setFontUseMap(std::move(map));
        }

    private:
        ContentInterpreter& in_;
        FontRenderer* font_;
    } select(in, &inner);
    in.setStepObserver(&select);
    ContentRunner runner;
    test::runText(in, runner, "q");
    EXPECT_EQ(inner.log, (std::vector<std::string>{"detach"}));
    EXPECT_EQ(outer.log, (std::vector<std::string>{"attach"}));
    EXPECT_EQ(outer.device, &device);
    ASSERT_NE(in.fontUseMap(), nullptr);
    EXPECT_EQ(in.fontUseMap()->count(), 1);
}

}  // namespace
}  // namespace vistrel

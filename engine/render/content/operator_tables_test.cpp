#include "engine/render/content/operator_tables.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/render/content/content_test_util.h"

namespace vistrel {
namespace {

using test::TraceLog;

// The content grammar: which parser states accept each operator, and the
// state its handler leaves (0: unchanged).
struct Row {
    const char* operators;
    std::vector<int> states;
    int to;
};
const Row kGrammar[] = {
    {"d gs i j J M ri w", {1, 2}, 0},
    {"q Q cm", {1}, 0},
    {"g G k K rg RG sc SC scn SCN cs CS", {1, 2, 3}, 0},
    {"BMC BDC EMC MP DP", {1, 2}, 0},
    {"sh Do PS", {1}, 0},
    {"BI", {1}, 4},
    {"BT", {1}, 2},
    {"c h l m re v y", {1, 3}, 3},
    {"Tc TL Tr Ts Tw Tz Td TD Tm T* Tf Tj TJ ' \"", {2}, 0},
    {"ET", {2}, 1},
    {"f F f* n s S b b* B B*", {3}, 1},
    {"W W*", {3}, 0},
    {"ID", {4}, 0},
    {"EI", {4}, 1},
};

struct Op {
    std::string text;
    std::vector<int> states;
    int to;
};

std::vector<Op> grammar() {
    std::vector<Op> ops;
    for (const Row& row : kGrammar) {
        std::istringstream words(row.operators);
        std::string w;
        while (words >> w)
            ops.push_back({w, row.states, row.to});
    }
    return ops;
}

bool accepts(const Op& op, int state, bool reduced) {
    if (reduced && (state == 2 || (state == 1 && op.text == "BT")))
        return false;
    for (int s : op.states) {
        if (s == state)
            return true;
    }
    return false;
}

const OperatorTable* tableOf(const OperatorStateMap& map, int state) {
    return map.find(state);
}

bool holds(const OperatorTable* table, const std::string& text) {
    PdfKeyword keyword{WString::fromUtf8(text)};
    return table && table->find(keyword) != nullptr;
}

TEST(OperatorTablesTest, SizesOfTheTablesAndMaps) {
    ASSERT_EQ(grammar().size(), 70u);
    const struct {
        const OperatorTable& table;
        int32_t count;
    } tables[] = {{pageOperatorTable(), 40},
                  {reducedPageOperatorTable(), 39},
                  {textOperatorTable(), 41},
                  {pathOperatorTable(), 31},
                  {inlineImageOperatorTable(), 2}};
    for (const auto& t : tables) {
        EXPECT_EQ(t.table.count(), t.count);
        EXPECT_EQ(t.table.bucketCount(), 128);
    }
    EXPECT_EQ(fullOperatorStateMap().count(), 4);
    EXPECT_EQ(reducedOperatorStateMap().count(), 3);
    EXPECT_EQ(fullOperatorStateMap().bucketCount(), 128);
}

// Every operator in every state of both maps, looked up with a parsed
// keyword of the same text; words outside the vocabulary nowhere.
TEST(OperatorTablesTest, AcceptanceOfEveryOperatorInEveryState) {
    for (bool reduced : {false, true}) {
        const OperatorStateMap& map = reduced ? reducedOperatorStateMap() : fullOperatorStateMap();
        for (int state = 1; state <= 4; ++state) {
            const OperatorTable* table = tableOf(map, state);
            EXPECT_EQ(table == nullptr, reduced && state == 2) << state;
            for (const Op& op : grammar()) {
                EXPECT_EQ(holds(table, op.text), accepts(op, state, reduced))
                    << op.text << " in state " << state << (reduced ? " (reduced)" : "");
            }
            for (const char* other : {"BX", "EX", "d0", "d1", "sm", "TF", "qq", "true"})
                EXPECT_FALSE(holds(table, other)) << other;
        }
    }
}

// Each operator run by the loop in each state: dropped or handled as the
// tables say, and handled ones leave the state their row gives. The path
// operators that count their operands are given enough.
TEST(OperatorTablesTest, HandlersMakeTheStateChangesOfTheGrammar) {
    for (bool reduced : {false, true}) {
        const OperatorStateMap& map = reduced ? reducedOperatorStateMap() : fullOperatorStateMap();
        for (int state = 1; state <= 4; ++state) {
            for (const Op& op : grammar()) {
                ContentInterpreter in(map, state, true);
                TraceLog trace;
                in.setStepObserver(&trace);
                const bool counted = op.text == "c" || op.text == "v" || op.text == "re";
                test::stepText(in, (counted ? "1 2 3 4 5 6 " : "") + op.text);
                const bool accepted = accepts(op, state, reduced);
                ASSERT_EQ(trace.lines.size(), 1u) << op.text;
                const std::string prefix = "0 " + std::to_string(state) + " " + op.text + " ";
                EXPECT_EQ(trace.lines[0].rfind(prefix + (accepted ? "" : "dropped"), 0), 0u)
                    << trace.lines[0];
                const int want = accepted && op.to ? op.to : state;
                EXPECT_EQ(in.mode(), want) << op.text << " in state " << state;
            }
        }
    }
}

TEST(OperatorTablesTest, ContentGrammarThroughTheLoop) {
    const struct {
        const char* content;
        std::vector<std::string> trace;
    } cases[] = {
        {"0 0 m q 10 10 l S", {"0 1 m ok", "0 3 q dropped", "0 3 l ok", "0 3 S ok"}},
        {"BT 0 0 m 1 0 0 1 0 0 cm q ET",
         {"0 1 BT ok", "0 2 m dropped", "0 2 cm dropped", "0 2 q dropped", "0 2 ET ok"}},
        {"f 0 0 m 1 0 0 RG 5 5 l S",
         {"0 1 f dropped", "0 1 m ok", "0 3 RG status 3", "0 3 l ok", "0 3 S ok"}},
        // No /F1 resource: "Tf" answers 3.
        {"/F1 12 Tf BT /F1 12 Tf ET",
         {"0 1 Tf dropped", "0 1 BT ok", "0 2 Tf status 3", "0 2 ET ok"}},
        {"EI BX 1 2 zz EX",
         {"0 1 EI dropped", "0 1 BX dropped", "0 1 zz dropped", "0 1 EX dropped"}},
        {"/OC /MC0 BDC 2 w EMC", {"0 1 BDC ok", "0 1 w ok", "0 1 EMC ok"}},
    };
    for (const auto& c : cases) {
        ContentInterpreter in(fullOperatorStateMap(), kStatePage, true);
        TraceLog trace;
        in.setStepObserver(&trace);
        ContentRunner runner;
        test::runText(in, runner, c.content);
        EXPECT_EQ(trace.lines, c.trace) << c.content;
    }
}

// A page marked as having no text starts with the table without "BT"; the
// loop puts the full map in place but keeps that table until the first
// change of state.
TEST(OperatorTablesTest, PageWithoutTextKeepsItsTableUntilTheFirstStateChange) {
    const struct {
        const char* content;
        std::vector<std::string> trace;
    } cases[] = {
        {"BT 1 0 0 1 0 0 Tm (a) Tj ET",
         {"0 1 BT dropped", "0 1 Tm dropped", "0 1 Tj dropped", "0 1 ET dropped"}},
        {"0 0 m 5 5 l S BT 1 0 0 1 0 0 Tm ET",
         {"0 1 m ok", "0 3 l ok", "0 3 S ok", "0 1 BT ok", "0 2 Tm ok", "0 2 ET ok"}},
    };
    for (const auto& c : cases) {
        ContentInterpreter in(reducedOperatorStateMap(), kStatePage, true);
        TraceLog trace;
        in.setStepObserver(&trace);
        ContentRunner runner;
        test::runText(in, runner, c.content);
        EXPECT_EQ(trace.lines, c.trace) << c.content;
        EXPECT_EQ(in.stateMap(), &fullOperatorStateMap());
    }
}

// Filling the maps again changes nothing: an entry for a state is replaced.
TEST(OperatorTablesTest, FillingTheMapsAgainChangesNothing) {
    fillOperatorStateMaps();
    EXPECT_EQ(fullOperatorStateMap().count(), 4);
    EXPECT_EQ(reducedOperatorStateMap().count(), 3);
    EXPECT_EQ(fullOperatorStateMap().find(kStateText), &textOperatorTable());
    EXPECT_EQ(reducedOperatorStateMap().find(kStateText), nullptr);
    EXPECT_EQ(reducedOperatorStateMap().find(kStatePage), &reducedPageOperatorTable());
    EXPECT_EQ(fullOperatorStateMap().find(kStatePage), &pageOperatorTable());
    EXPECT_EQ(fullOperatorStateMap().find(5), nullptr);
}

}  // namespace
}  // namespace vistrel

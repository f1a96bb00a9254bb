// The operator tables of the content interpreter: one per parser state, each
// a hash map from operator keyword to handler. An operator the current
// state's table does not hold is dropped with its operands, which is how the
// content grammar is enforced: painting operators only end a path, text
// operators only act inside a text object, the graphics-state stack and the
// transformation only change at page level.
//
// The five tables are global objects built when the library is loaded; the
// two state maps are built empty then and filled once by the engine start-up
// (registerPdfFontFactories, in the font layer).
#pragma once

#include <cstdint>

#include "engine/core/keyed_hash_map.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class ContentInterpreter;

// Parser states.
inline constexpr std::int32_t kStatePage = 1;  // also where forms and glyph procedures start
inline constexpr std::int32_t kStateText = 2;  // inside a text object
inline constexpr std::int32_t kStatePath = 3;  // while a path is built
inline constexpr std::int32_t kStateInlineImage = 4;

// Statuses of the operator handlers and of a loop step. The loop goes on
// whatever a handler answers.
inline constexpr std::int32_t kStatusDone = 0;
inline constexpr std::int32_t kStatusUnknownOperator = 1;  // not in the state's table
inline constexpr std::int32_t kStatusEnded = 2;            // no further operation
inline constexpr std::int32_t kStatusWrongOperand = 3;     // or a missing named resource
inline constexpr std::int32_t kStatusTooFewOperands = 4;
inline constexpr std::int32_t kStatusNoXObject = 6;
inline constexpr std::int32_t kStatusNoColorSpace = 10;

using OperatorHandler = std::int32_t (*)(ContentInterpreter& interpreter);

class OperatorTable {
public:
    // The operators of a parser state and their handlers; the page-level
    // table without "BT" when withTextObjects is false.
    explicit OperatorTable(std::int32_t state, bool withTextObjects = true);
    OperatorTable(const OperatorTable&) = delete;
    OperatorTable& operator=(const OperatorTable&) = delete;

    // The handler of an operator keyword (by its hash and keyword equality);
    // null when the table does not hold it.
    OperatorHandler find(const PdfObject& op) const { return table_.get(&op); }
    std::int32_t count() const { return table_.count(); }
    std::int32_t bucketCount() const { return table_.bucketCount(); }

private:
    KeyedHashMap<PdfObject*, OperatorHandler> table_{nullptr, 64, 64, 0.75};
};

// Parser state -> the operator table of that state; no table by default.
class OperatorStateMap {
public:
    OperatorStateMap() = default;
    OperatorStateMap(const OperatorStateMap&) = delete;
    OperatorStateMap& operator=(const OperatorStateMap&) = delete;

    // Insert or replace. False when memory runs out.
    bool put(std::int32_t state, const OperatorTable* table) { return table_.insert(state, table); }
    const OperatorTable* find(std::int32_t state) const { return table_.get(state); }
    std::int32_t count() const { return table_.count(); }
    std::int32_t bucketCount() const { return table_.bucketCount(); }

private:
    KeyedHashMap<std::int32_t, const OperatorTable*> table_{nullptr, 64, 64, 0.75};
};

// The global tables.
const OperatorTable& pageOperatorTable();
const OperatorTable& reducedPageOperatorTable();  // without "BT"
const OperatorTable& textOperatorTable();
const OperatorTable& pathOperatorTable();
const OperatorTable& inlineImageOperatorTable();

// The full map (states 1 to 4) and the map for pages marked as having no
// text (state 1 -> the table without "BT", no state 2).
OperatorStateMap& fullOperatorStateMap();
OperatorStateMap& reducedOperatorStateMap();

// Puts the tables into the two maps (an existing entry is replaced).
void fillOperatorStateMaps();

}  // namespace vistrel

#include "engine/render/content/content_loop.h"

#include <new>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/doc/content_runner.h"
#include "engine/parser/object_parser.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/progress_sink.h"
#include "platform/files/win_time.h"

namespace vistrel {

OperationReader::OperationReader(ObjectParser* parser) : parser_(parser), ended_(!parser) {
    if (Tokenizer* tokenizer = parser_ ? parser_->tokenizer() : nullptr) {
        // Numbers are taken by value only.
        tokenizer->setNumberText(false);
        startCount_ = tokenizer->bytesTaken();
    }
}

void OperationReader::reset(InputStream* input) {
    if (!ok())
        return;
    ended_ = false;
    stopped_ = false;
    if (parser_->tokenizer())
        parser_->tokenizer()->setStream(input);
    parser_->dropAll();
}

std::uint64_t OperationReader::bytesRead() const {
    const Tokenizer* tokenizer = parser_ ? parser_->tokenizer() : nullptr;
    return tokenizer ? tokenizer->bytesTaken() - startCount_ : 0;
}

ObjectRef OperationReader::readOperator(ContentOperandStack& operands) {
    Tokenizer* tokenizer = parser_->tokenizer();
    while (!stopped_) {
        const int kind = tokenizer ? tokenizer->NextToken() : int(Tokenizer::kEnd);
        if (kind == Tokenizer::kNumber) {
            operands.pushNumber(tokenizer->isReal, tokenizer->intValue, tokenizer->realValue);
            continue;
        }
        ObjectRef object = parser_->objectOfToken(kind);
        if (!object) {
            stopped_ = true;
            break;
        }
        const PdfObject* d = object->direct();
        if (d && d->kind() == kKindKeyword)
            return object;
        operands.push(std::move(object));
    }
    return nullptr;
}

namespace {

void destroyReader(OperationReader* reader) {
    delete reader;
}

// Makes the runner's tokenizer, parser and reader on its first run; resets
// the reader to the interpreter's input on later runs. Null when the reader
// cannot be had.
OperationReader* prepareReader(ContentRunner& runner, InputStream* input) {
    if (runner.reader) {
        runner.reader->reset(input);
        return runner.reader.get();
    }
    runner.tokenizer.reset(new (std::nothrow) Tokenizer(input));
    if (runner.tokenizer)
        runner.parser.reset(new (std::nothrow) ObjectParser(runner.tokenizer.get()));
    runner.reader = {new OperationReader(runner.parser.get()), destroyReader};
    return runner.reader.get();
}

// Position in percent of the total, at most 100.
std::uint16_t percentage(std::uint64_t position, std::uint64_t total) {
    if (position >= total)
        return 100;
    return std::uint16_t(static_cast<unsigned __int128>(position) * 100 / total);
}

// Steps until the reader ends, the page's work budget is spent, or
// kMaxIdleSteps steps in a row have read no byte; beforeStep runs ahead of
// each step.
template <class F>
void runSteps(ContentInterpreter& interpreter, OperationReader& reader, F&& beforeStep) {
    std::uint64_t lastCount = reader.bytesRead();
    std::int32_t idle = 0;
    while (!reader.ended() && !interpreter.workSpent()) {
        beforeStep();
        interpreter.step(reader);
        const std::uint64_t count = reader.bytesRead();
        // The bytes read count as well: operands that no operator takes
        // cost their reading.
        interpreter.chargeWork(ContentInterpreter::kOperatorWork +
                               (count > lastCount ? count - lastCount : 0) *
                                   ContentInterpreter::kByteWork);
        if (count != lastCount) {
            lastCount = count;
            idle = 0;
        } else if (++idle >= kMaxIdleSteps) {
            reader.setEnded(true);
        }
    }
}

}  // namespace

std::int32_t OperationReader::step(ContentInterpreter& interpreter) {
    return interpreter.step(*this);
}

void OperationReader::run(ContentInterpreter& interpreter) {
    // A step gives 2 exactly when it leaves the reader ended.
    runSteps(interpreter, *this, [] {});
}

bool progressWanted() {
    const SettingValue* value =
        settingsStore().find(settings::Interface, settings::ProgressIndicator);
    return value ? readSettingSwitch(value, false) : true;
}

void runContentStream(ContentRunner& runner, ContentInterpreter& interpreter) {
    interpreter.chargeWork(interpreter.runWork());
    InputStream* input = interpreter.contentInput();
    OperationReader* reader = prepareReader(runner, input);
    if (!reader)
        return;

    // The current table stays: a page started with the reduced map keeps
    // its page-level table until the first change of state.
    interpreter.setStateMap(fullOperatorStateMap());

    PdfDict* savedResources = interpreter.resources();
    if (runner.resources)
        interpreter.setResources(runner.resources.get());
    std::unique_ptr<FontUseMap> savedFonts = interpreter.takeFontUseMap();
    interpreter.enterRun();

    ProgressSink* sink = interpreter.progressSink();
    if (sink && progressWanted()) {
        const std::uint64_t total = input ? input->size() : 0;
        sink->startProgressIndicator();
        win::DWORD lastTime = 0;
        std::uint16_t lastPercentage = 0;
        runSteps(interpreter, *reader, [&] {
            const win::DWORD now = win::GetTickCount();
            if (lastTime < win::DWORD(now - 500) && total != 0) {
                const std::uint16_t p = percentage(input->position(), total);
                if (p != lastPercentage) {
                    sink->setProgressIndicator(p);
                    lastPercentage = p;
                    lastTime = now;
                }
            }
        });
        sink->stopProgressIndicator();
    } else {
        runSteps(interpreter, *reader, [] {});
    }

    interpreter.leaveRun();
    interpreter.setResources(savedResources);
    if (std::unique_ptr<FontUseMap> used = interpreter.takeFontUseMap()) {
        used->forEach([](FontHandle& handle) {
            if (FontRenderer* font = handle.font())
                font->detachDevice();
        });
    }
    interpreter.setFontUseMap(std::move(savedFonts));
    if (FontUseMap* enclosing = interpreter.fontUseMap()) {
        OutputDevice* device = interpreter.device();
        enclosing->forEach([device](FontHandle& handle) {
            if (FontRenderer* font = handle.font())
                font->attachDevice(device, nullptr);
        });
    }
}

std::int32_t ContentInterpreter::step(OperationReader& reader) {
    if (!reader.ok())
        return kStatusEnded;
    const ObjectRef op = reader.readOperator(operands_);
    if (!op) {
        reader.setEnded(true);
        operands_.clear();
        return kStatusEnded;
    }
    reader.setEnded(false);
    const std::int32_t stateBefore = state_;
    const OperatorHandler handler = table_ ? table_->find(*op->direct()) : nullptr;
    if (!handler) {
        operands_.clear();
        trace(op.get(), false, stateBefore, kStatusUnknownOperator);
        return kStatusUnknownOperator;
    }
    const std::int32_t status = handler(*this);
    if (state_ != kStateInlineImage)
        operands_.clear();
    trace(op.get(), true, stateBefore, status);
    return status;
}

void ContentInterpreter::trace(const PdfObject* op, bool handled, std::int32_t state,
                               std::int32_t status) {
    if (observer_)
        observer_->operatorDone(OperatorTrace{runDepth_ - 1, state, op, handled, status});
}

}  // namespace vistrel

#include "engine/render/content/content_stream_input.h"

#include "engine/parser/pdf_stream.h"

namespace vistrel {
namespace {

// The element as a plain stream object (class kind 32), borrowed.
PdfStream* contentStream(PdfObject* element) {
    PdfObject* d = element ? element->direct() : nullptr;
    return d && d->classKind() == kClassStream ? static_cast<PdfStream*>(d) : nullptr;
}

// What an open stream's decoded data reports as its length (its /Length);
// a stream whose /Length is not a number counts 0.
std::uint64_t streamLength(const PdfStream& stream) {
    return stream.length() < 0 ? 0 : std::uint64_t(stream.length());
}

}  // namespace

ContentStreamInput::ContentStreamInput(PdfObject* contents) {
    PdfObject* d = contents ? contents->direct() : nullptr;
    if (contentStream(d)) {
        elements_ = makeRef<PdfArray>();
        if (!elements_ || !elements_->append(ObjectRef::share(d)))
            elements_ = nullptr;
    } else if (PdfArray* array = asArray(d)) {
        elements_ = Ref<PdfArray>::share(array);
    }
    if (!elements_)
        return;
    for (std::int32_t i = 0; i < elements_->count(); ++i) {
        if (PdfStream* s = contentStream(elements_->at(i))) {
            if (s->open()) {
                total_ += streamLength(*s);
                s->close();
            }
        }
    }
    ok_ = openCurrent();
}

ContentStreamInput::~ContentStreamInput() {
    closeCurrent();
}

bool ContentStreamInput::openCurrent() {
    current_ = index_ < elements_->count() ? contentStream(elements_->at(index_)) : nullptr;
    if (!current_)
        return false;
    // A stream that does not open reads as empty.
    current_->open();
    return true;
}

void ContentStreamInput::closeCurrent() {
    if (current_ && current_->isStreamOpen())
        current_->close();
    current_ = nullptr;
}

std::uint16_t ContentStreamInput::getByte() {
    if (!ok_)
        return kEndOfData;
    std::uint16_t c;
    if (takePushedBack(c))
        return c;
    for (;;) {
        c = current_->getByte();
        if (c != kEndOfData)
            return c;
        if (current_->isStreamOpen())
            finished_ += streamLength(*current_);
        closeCurrent();
        ++index_;
        if (index_ >= elements_->count() || !openCurrent()) {
            ok_ = false;
            return kEndOfData;
        }
    }
}

std::uint64_t ContentStreamInput::position() {
    return finished_ + (ok_ && current_ && current_->isStreamOpen() ? current_->position() : 0);
}

bool ContentStreamInput::atEnd() {
    if (!ok_)
        return true;
    if (index_ < elements_->count())
        return false;
    return current_ ? current_->atEnd() : true;
}

}  // namespace vistrel

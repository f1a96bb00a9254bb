#include "engine/parser/pdf_stream.h"

#include <cmath>
#include <new>

#include "engine/codec/ccitt_decode.h"
#include "engine/codec/dct_decode.h"
#include "engine/codec/filter_stream.h"
#include "engine/codec/lzw_flate.h"
#include "engine/constants/name_constants.h"
#include "engine/parser/support_streams.h"

namespace vistrel {

namespace {

// The value of the first key present, resolved; null when neither is.
PdfObject* lookup(const PdfDict& dict, const PdfObject& key, const PdfObject& abbreviation) {
    PdfObject* value = dict.get(key);
    if (value == nullptr)
        value = dict.get(abbreviation);
    return value ? value->direct() : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// FilterChain

FilterChain::FilterChain(PdfStream* stream, bool inlineFlag, const uint8_t* objectKey)
    : objectKey_(objectKey), inline_(inlineFlag), stream_(stream) {
    if (stream == nullptr)
        return;
    valid_ = true;

    if (PdfObject* filter = lookup(*stream, names::Filter, names::F)) {
        if (nameOf(filter)) {
            names_.push_back(ObjectRef::share(filter));
        } else if (PdfArray* array = asArray(filter)) {
            for (int32_t i = 0; i < array->count(); ++i) {
                PdfObject* element = array->at(i) ? array->at(i)->direct() : nullptr;
                if (!nameOf(element)) {
                    valid_ = false;
                    break;
                }
                names_.push_back(ObjectRef::share(element));
            }
        } else {
            valid_ = false;
        }
    }

    if (PdfObject* parms = lookup(*stream, names::DecodeParms, names::DP)) {
        if (parms->kind() == kKindNull) {
            // no parameters
        } else if (parms->kind() == kKindDict) {
            parameters_.push_back(ObjectRef::share(parms));
        } else if (PdfArray* array = asArray(parms)) {
            for (int32_t i = 0; i < array->count(); ++i)
                parameters_.push_back(ObjectRef::share(array->at(i)));
        } else {
            valid_ = false;
        }
    }
}

FilterChain::~FilterChain() {
    close();
    valid_ = false;
}

void FilterChain::closeAndInvalidate() {
    close();
    valid_ = false;
}

bool FilterChain::open(InputStream* input) {
    if (!valid_)
        return false;
    if (input == nullptr) {
        valid_ = false;
        return false;
    }
    if (!input->isOpen())
        return false;
    current_ = input;
    if (!stream_->buildFilterChain(*this))
        return false;
    open_ = true;
    return true;
}

void FilterChain::close() {
    open_ = false;
    if (!valid_)
        return;
    while (!links_.empty())
        links_.pop_back();  // the last link first
    rc4_.reset();
    current_ = nullptr;
}

// ---------------------------------------------------------------------------
// PdfStream

PdfStream::PdfStream(const PdfDict& dict, InputStream* raw, bool inlineFlag, const uint8_t* fileKey)
    : PdfDict(dict), raw_(raw), inline_(inlineFlag) {
    if (fileKey != nullptr) {
        ObjectId id = getId();
        computeObjectKey(fileKey, id.number, id.generation, objectKey_);
        hasKey_ = true;
    }
    if (raw != nullptr && raw->isOpen()) {
        rawSeek_ = dynamic_cast<Seekable*>(raw);
        dataStart_ = raw->position();
        if (PdfNumber* length = asNumber(get(names::Length))) {
            // Only -1 means "no limit"; any other negative length is an empty
            // window, never a huge one.
            length_ = length->intValue() < kNoLength ? 0 : length->intValue();
        }
        usable_ = true;
    }
    setValid(true);
}

PdfStream::~PdfStream() {
    // An open stream holds a reference on itself, so it is closed here only
    // when destroyed by other means than its last release.
    chain_.reset();
    window_.reset();
}

uint16_t PdfStream::classKind() const {
    return kClassStream;
}

WString PdfStream::typeName() const {
    WString name = PdfDict::typeName();
    name.append(u"stream");
    return name;
}

bool PdfStream::seekRaw(uint64_t position) {
    if (rawSeek_ != nullptr)
        return rawSeek_->seek(position);
    // A stream that cannot be positioned (the content stream under inline
    // image data) is read where it is.
    return raw_->position() == position;
}

bool PdfStream::open() {
    if (open_)
        close();
    current_ = nullptr;
    if (!usable_)
        return false;

    savedPosition_ = raw_->position();
    if (!seekRaw(dataStart_)) {
        failOpen();
        return false;
    }
    uint64_t limit = length_ == kNoLength ? LengthLimitedStream::kNoLimit : uint64_t(length_);
    window_.reset(new (std::nothrow) LengthLimitedStream(raw_, limit));
    if (window_ && !window_->isOpen())
        window_.reset();
    chain_.reset(new (std::nothrow) FilterChain(this, inline_, hasKey_ ? objectKey_ : nullptr));
    if (!window_ || !chain_ || !chain_->valid() || !chain_->open(window_.get())) {
        failOpen();
        return false;
    }
    current_ = chain_->currentInput();
    open_ = true;
    addRef();  // held until close
    return true;
}

void PdfStream::failOpen() {
    chain_.reset();
    window_.reset();
    usable_ = false;
    // Put the file stream back: an enclosing stream may be reading from it.
    if (rawSeek_ != nullptr)
        rawSeek_->seek(savedPosition_);
}

void PdfStream::close() {
    if (!isOpen() || !usable_ || !open_)
        return;
    chain_.reset();
    window_.reset();
    current_ = raw_;
    if (rawSeek_ != nullptr)
        rawSeek_->seek(savedPosition_);
    open_ = false;
    release();  // may destroy this object: nothing may follow
}

bool PdfStream::buildFilterChain(FilterChain& chain) {
    if (chain.objectKey_ != nullptr) {
        chain.rc4_.reset(new (std::nothrow) Rc4Stream(chain.current_, chain.objectKey_));
        if (!chain.rc4_)
            return false;
        chain.current_ = chain.rc4_.get();
    }
    const size_t n = chain.names_.size();
    for (size_t i = 0; i <= n; ++i) {
        if (i > 0 && !chain.parameters_.empty()) {
            const PdfDict* parms = nullptr;
            if (i - 1 < chain.parameters_.size() && chain.parameters_[i - 1])
                parms = asDict(chain.parameters_[i - 1].get());
            std::unique_ptr<FilterParams> params = readDecodeParms(parms);
            if (params == nullptr)
                return false;
            chain.links_.back()->setParameters(std::move(params));
        }
        if (i == n)
            return true;

        PdfObject* name = chain.names_[i].get();
        if (!nameOf(name))
            return false;
        InputStream* in = chain.current_;
        FilterStream* link = nullptr;
        if (name->equals(&names::ASCIIHexDecode) || name->equals(&names::AHx))
            link = new AsciiHexDecodeStream(in, nullptr);
        else if (name->equals(&names::ASCII85Decode) || name->equals(&names::A85))
            link = new Ascii85DecodeStream(in, nullptr);
        else if (name->equals(&names::LZWDecode) || name->equals(&names::LZW))
            link = new LzwDecodeStream(in, nullptr);
        else if (name->equals(&names::FlateDecode) || name->equals(&names::Fl))
            link = new FlateDecodeStream(in, nullptr, chain.inline_);
        else if (name->equals(&names::DCTDecode) || name->equals(&names::DCT))
            link = new DctDecodeStream(in, nullptr, chain.inline_);
        else if (name->equals(&names::CCITTFaxDecode) || name->equals(&names::CCF))
            link = new CcittFaxDecodeStream(in, nullptr);
        else if (name->equals(&names::RunLengthDecode) || name->equals(&names::RL))
            link = new RunLengthDecodeStream(in, nullptr);
        else
            return false;  // a filter the engine does not read
        if (link == nullptr)
            return false;
        chain.links_.emplace_back(link);
        chain.current_ = link;
    }
    return true;
}

std::unique_ptr<FilterParams> PdfStream::readDecodeParms(const PdfDict* dict) {
    std::unique_ptr<FilterParams> params(new (std::nothrow) FilterParams);
    if (params == nullptr || dict == nullptr)
        return params;
    for (const auto& entry : dict->entries()) {
        if (!nameOf(entry.key))
            continue;
        std::u16string_view key = nameOf(entry.key)->textValue().view();
        PdfObject* value = entry.value ? entry.value->direct() : nullptr;
        if (value == nullptr)
            continue;
        if (value->kind() == kKindNumber) {
            params->set(key, static_cast<const PdfNumber*>(value)->intValue());
        } else if (value->kind() == kKindBoolean) {
            params->set(key, static_cast<const PdfBoolean*>(value)->value() ? 1 : 0);
        }
    }
    return params;
}

int64_t PdfStream::read(void* buffer, size_t count) {
    if (!usable_ || !open_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    uint16_t c;
    if (takePushedBack(c)) {
        static_cast<uint8_t*>(buffer)[0] = uint8_t(c);
        if (count == 1)
            return 1;
        int64_t n = current_->read(static_cast<uint8_t*>(buffer) + 1, count - 1);
        return n < 0 ? 1 : n + 1;
    }
    return current_->read(buffer, count);
}

uint16_t PdfStream::getByte() {
    if (!usable_ || !open_)
        return kEndOfData;
    uint16_t c;
    if (takePushedBack(c))
        return c;
    return current_->getByte();
}

uint64_t PdfStream::size() {
    return current_ ? current_->size() : 0;
}

uint64_t PdfStream::position() {
    return current_ ? current_->position() : 0;
}

bool PdfStream::atEnd() {
    return current_ ? current_->atEnd() : true;
}

PdfStream* asStream(PdfObject* object) {
    PdfObject* target = object ? object->direct() : nullptr;
    return target ? dynamic_cast<PdfStream*>(target) : nullptr;
}

Ref<PdfStream> makePlainStream(const PdfDict& dict, InputStream* raw, const uint8_t* fileKey) {
    Ref<PdfStream> stream = Ref<PdfStream>::adopt(new PdfStream(dict, raw, false, fileKey));
    if (!stream || !stream->valid())
        return nullptr;
    return stream;
}

}  // namespace vistrel

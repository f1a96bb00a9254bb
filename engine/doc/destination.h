// Destinations: a page of the document and how to show it, parsed from a
// destination array or found by name in the catalog's /Dests dictionary or
// the /Dests name tree.
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

// A coordinate or zoom given as null: keep the current value.
inline constexpr double kUnsetCoordinate = -8888888.0;

// Named destinations that lead to further names (/D naming another
// destination) are followed at most this many times.
inline constexpr int kMaxDestinationHops = 32;

enum DestinationFit : uint16_t {
    kFitXYZ = 0,
    kFitWhole = 1,  // /Fit
    kFitH = 2,
    kFitV = 3,
    kFitR = 4,
    kFitB = 5,
    kFitBH = 6,
    kFitBV = 7,
};

// A copy of a destination array (class kind 38) with its page and the
// parameters of its fit type. Valid when the page and every parameter of the
// type were read.
class Destination : public PdfArray {
public:
    ~Destination() override;

    // The page reference (element 0), borrowed; null when the array has none.
    PdfObject* page() const { return page_; }
    double zoom() const { return zoom_; }
    double left() const { return left_; }
    double top() const { return top_; }
    double right() const { return right_; }
    double bottom() const { return bottom_; }

    uint16_t classKind() const override;
    // "{Destination <page reference's typeName> }"
    WString typeName() const override;
    virtual uint16_t fitType() const = 0;

    VISTREL_GLOBAL_ALLOCATOR()

protected:
    // Copies the array; valid with a page when element 0 is a reference.
    explicit Destination(const PdfArray& source);
    // An empty array on a page reference alone.
    explicit Destination(PdfObject* pageRef);

    // Reads the parameter elements 2, 3, ... into the fields in order. The
    // array must have `length` elements (at least `length` with `nullsAllowed`,
    // where a null element stores kUnsetCoordinate); any other kind leaves the
    // destination invalid.
    void readParameters(double* const* fields, int32_t count, int32_t length, bool nullsAllowed);

    PdfObject* page_ = nullptr;  // counted
    double zoom_ = kUnsetCoordinate;
    double left_ = kUnsetCoordinate;
    double top_ = kUnsetCoordinate;
    double right_ = kUnsetCoordinate;
    double bottom_ = kUnsetCoordinate;
};

class XYZDestination final : public Destination {
public:
    explicit XYZDestination(const PdfArray& source);
    // On a page reference alone: every parameter unset, valid.
    explicit XYZDestination(PdfObject* pageRef);
    uint16_t fitType() const override { return kFitXYZ; }
};

class FitDestination final : public Destination {
public:
    explicit FitDestination(const PdfArray& source) : Destination(source) {}
    uint16_t fitType() const override { return kFitWhole; }
};

class FitHDestination final : public Destination {
public:
    explicit FitHDestination(const PdfArray& source);
    uint16_t fitType() const override { return kFitH; }
};

class FitVDestination final : public Destination {
public:
    explicit FitVDestination(const PdfArray& source);
    uint16_t fitType() const override { return kFitV; }
};

class FitRDestination final : public Destination {
public:
    explicit FitRDestination(const PdfArray& source);
    uint16_t fitType() const override { return kFitR; }
};

class FitBDestination final : public Destination {
public:
    explicit FitBDestination(const PdfArray& source) : Destination(source) {}
    uint16_t fitType() const override { return kFitB; }
};

class FitBHDestination final : public Destination {
public:
    explicit FitBHDestination(const PdfArray& source);
    uint16_t fitType() const override { return kFitBH; }
};

class FitBVDestination final : public Destination {
public:
    explicit FitBVDestination(const PdfArray& source);
    uint16_t fitType() const override { return kFitBV; }
};

// Resolves a destination: an explicit array, or a name or string looked up in
// `dests` (the catalog's /Dests table) and then in the /Dests name tree of
// `namesDict` (the catalog's /Names). A named value may be a page reference,
// a destination array (direct or referenced) or a dictionary whose /D is the
// destination. Null when nothing resolves.
Ref<Destination> readDestination(PdfObject* object, PdfDict* dests, PdfDict* namesDict);

// The name of a fit type as written in a destination array ("/XYZ", ...).
const char16_t* fitTypeName(uint16_t fitType);

}  // namespace vistrel

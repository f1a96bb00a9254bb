// The page tree: pages found by number, page attributes looked up with
// inheritance through /Parent, and page sizes from the page boxes and
// /Rotate.
#pragma once

#include <cstdint>

#include "engine/core/ref.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

// The value of `key` for the page: its own entry, else (with `inherit`) the
// nearest pages node's up the /Parent chain; borrowed, or null. Callers
// inherit "/Resources", "/MediaBox", "/CropBox" and "/Rotate", never
// "/Annots".
PdfObject* getInheritedAttribute(PdfDict* page, const PdfObject& key, bool inherit);

// The page count of a pages node: the integer value of /Count when it is a
// number, else -1.
int32_t pageCountOf(const PdfDict* node);

// The page of 1-based `index` under the pages node, with one reference for
// the caller; null when there is none. /Count values steer the descent; a
// node met again below itself (a /Kids cycle) gives no page, and so does a
// tree deeper than kMaxPageTreeDepth.
Ref<PdfPage> getPageByIndex(PdfDict* node, int32_t index);

// The page size in whole points after rotation: the inherited /CropBox, else
// the inherited /MediaBox, with width and height swapped for any inherited
// /Rotate other than 0 and 180 (modulo 360). False, with the outputs left
// unchanged, when the page has neither box.
bool getPageBoxes(PdfDict* page, int32_t& width, int32_t& height);

// The pages node an object stands for: itself when it is one, else a new
// pages node copied from a dictionary with both /Kids and /Count. Null
// otherwise.
Ref<PagesNode> toPagesNode(PdfObject* object);

}  // namespace vistrel

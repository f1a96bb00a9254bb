// The page tree: pages found by number, page attributes looked up with
// inheritance through /Parent, and page sizes from the page boxes and
// /Rotate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Most pages a page tree lists: the most objects a file may number.
inline constexpr size_t kMaxPageCount = (size_t(1) << 23) - 1;

// The pages under the pages node in tree order: every element of a /Kids
// array that is a page, as it stands there (a reference or a direct page),
// with the pages of every kid that is a pages node (toPagesNode) in its
// place. /Count is not consulted. A node listed below itself (a /Kids cycle)
// adds nothing, nodes deeper than kMaxPageTreeDepth are not entered, and a
// node listed twice is walked once, so the work is linear in the size of the
// tree and of the list, which ends at kMaxPageCount pages.
std::vector<ObjectRef> listPages(PdfDict* root);

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

// The layout of a Palm database of page records (all numbers big-endian):
//
//   header (78 bytes)     name, dates 0x06D144AE, type and creator "READ",
//                         the record count T
//   record list           T entries: offset, attributes 0x40, id 0x6F and
//                         the 16 bits of 0x8000 + i
//   0                     index: page count, information record index, then
//                         per page width, height, bits per pixel and the
//                         indices of its row table, links and annotation list
//   1 .. P                row tables: per row its image record, the offset
//                         inside it and the coded length
//   then                  image records, page after page; link records (28
//                         bytes per link); annotation lists (10 bytes per
//                         annotation); annotation texts (caption and text);
//                         the document information (eight texts)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export/pdb_page_store.h"

namespace vistrel {

// Writes the pages (read back from their spill files, which are deleted as
// they are read) and the information texts (none: no information record)
// into the named file. The database is written into a new file in the same
// folder ("NAME.PID.RANDOM.tmp", see leftover_files.h; those of killed
// exports are removed first) and renamed over the name once it is whole and
// flushed; on any
// failure only that new file is deleted (a file already at the name stays
// as it was, and so does one that cannot be written) and the answer is
// false.
bool writePdbFile(std::u16string_view fileName, const std::array<char, 32>& name,
                  const std::vector<const PDBPageRecord*>& pages, const PdbInfoTexts* info,
                  const SpillFolder& spill);

// A text as the database holds it: cut at a zero unit, every CR turned into
// LF, units from 256 up written as '?', the rest as the same byte.
std::string pdbText(std::u16string_view text);

}  // namespace vistrel

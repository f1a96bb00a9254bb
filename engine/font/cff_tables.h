// The fixed tables of compact (CFF) font programs: the standard strings by
// SID, the standard and expert encodings as SIDs by code, and the Expert and
// ExpertSubset charsets.
//
// The SID table is built from the standard-string constants on the first
// call of buildCffStandardStrings() (the reader calls it at each load) and
// kept for the process.
#pragma once

#include <cstdint>
#include <span>

#include "engine/core/wstring.h"

namespace vistrel {

// Builds the SID table and the encodings' SIDs when not built yet.
void buildCffStandardStrings();

// The standard string of a SID ("/.notdef" for 0); empty for a SID outside
// 0 to 390 and before the table is built.
const WString& cffStandardString(int32_t sid);

// The SID of a standard string (the text with its "/"); -1 when none has
// that text.
int32_t cffStandardSid(const WString& name);

// The SID the standard encoding, and the expert encoding, give a code; 0
// (".notdef") for an unassigned code and a code outside 0 to 255.
int32_t cffStandardEncodingSid(int32_t code);
int32_t cffExpertEncodingSid(int32_t code);

// The SIDs of the predefined Expert and ExpertSubset charsets, glyph 0 first.
std::span<const uint16_t> cffExpertCharset();
std::span<const uint16_t> cffExpertSubsetCharset();

// Glyphs the ISOAdobe charset names (SID i for glyph i).
inline constexpr int32_t kCffIsoAdobeGlyphs = 229;

}  // namespace vistrel

// PDF date strings (D:YYYYMMDDHHmmSSOHH'mm') split into numeric fields.
#pragma once

#include <cstdint>

#include "engine/core/wstring.h"

namespace vistrel {

// The fields of a date; every field not given in the text keeps its absent
// value (255, the zone 0).
struct PdfDateFields {
    static constexpr uint8_t kAbsent = 255;

    int32_t year = kAbsent;
    uint8_t month = kAbsent;
    uint8_t day = kAbsent;
    uint8_t hour = kAbsent;
    uint8_t minute = kAbsent;
    uint8_t second = kAbsent;
    uint8_t zoneHour = kAbsent;
    uint8_t zoneMinute = kAbsent;
    char16_t zone = 0;  // '+', '-', 'Z', or 0 when no zone is given
};

// Splits a date text. True when the text is a well-formed date, possibly cut
// short after any complete field; false when it is malformed (the fields read
// before the fault keep their values, the others hold their absent values).
bool parsePdfDate(const WString& text, PdfDateFields& fields);

}  // namespace vistrel

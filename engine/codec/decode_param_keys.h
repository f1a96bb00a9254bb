// The /DecodeParms keys the decoders read. They keep the solidus, since
// /DecodeParms is searched with them directly. The engine's constants build
// a WStringConstant of each from this list (params:: of
// engine/constants/setting_keys.h); "/K" is also the glyph name of the letter K.
#pragma once

#include <string_view>

#define VISTREL_DECODE_PARAM_KEYS(X)          \
    X(K, u"/K")                               \
    X(EndOfLine, u"/EndOfLine")               \
    X(EncodedByteAlign, u"/EncodedByteAlign") \
    X(Columns, u"/Columns")                   \
    X(Rows, u"/Rows")                         \
    X(EndOfBlock, u"/EndOfBlock")             \
    X(BlackIs1, u"/BlackIs1")                 \
    X(DamagedRowsBeforeError, u"/DamagedRowsBeforeError")

namespace vistrel::decode_keys {

#define VISTREL_X(id, text) inline constexpr std::u16string_view id = text;
VISTREL_DECODE_PARAM_KEYS(VISTREL_X)
#undef VISTREL_X

}  // namespace vistrel::decode_keys

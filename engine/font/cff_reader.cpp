#include "engine/font/cff_reader.h"

#include <charconv>
#include <cmath>
#include <string>

#include "engine/object/pdf_object.h"

namespace vistrel {
namespace {

// The digits of a real operand beyond which the rest is dropped.
constexpr std::size_t kMaxRealText = 64;

// A real operand: nibbles, high first, up to the end nibble 0xF.
CffReader::Operand readReal(std::span<const std::uint8_t> dict, std::size_t& pos) {
    std::string text;
    bool done = false;
    while (!done && pos < dict.size()) {
        const std::uint8_t b = dict[pos++];
        for (const int nibble : {b >> 4, b & 0x0F}) {
            if (nibble == 0x0F) {
                done = true;
                break;
            }
            if (text.size() >= kMaxRealText)
                continue;
            if (nibble <= 9)
                text.push_back(char('0' + nibble));
            else if (nibble == 0x0A)
                text.push_back('.');
            else if (nibble == 0x0B)
                text.push_back('E');
            else if (nibble == 0x0C)
                text.append("E-");
            else if (nibble == 0x0E)
                text.push_back('-');
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        value = 0.0;
    return CffReader::Operand{value, truncateToInt(value), false};
}

CffReader::Operand integerOperand(std::int32_t v) {
    return CffReader::Operand{double(v), v, true};
}

}  // namespace

bool CffReader::seek(std::int64_t position) {
    if (position < 0 || std::uint64_t(position) > data_.size()) {
        position_ = data_.size();
        return false;
    }
    position_ = std::size_t(position);
    return true;
}

std::int32_t CffReader::byte() {
    if (position_ >= data_.size())
        return -1;
    return data_[position_++];
}

std::int32_t CffReader::word() {
    if (data_.size() - position_ < 2) {
        position_ = data_.size();
        return -1;
    }
    const std::int32_t v = data_[position_] << 8 | data_[position_ + 1];
    position_ += 2;
    return v;
}

bool CffReader::readIndex(std::vector<std::span<const std::uint8_t>>& entries) {
    entries.clear();
    const std::int32_t count = word();
    if (count < 0)
        return false;
    if (count == 0)
        return true;
    const std::int32_t offSize = byte();
    if (offSize < 1 || offSize > 4)
        return false;
    const std::size_t offsetBytes = (std::size_t(count) + 1) * std::size_t(offSize);
    if (data_.size() - position_ < offsetBytes)
        return false;
    // The data follows the offsets; offset 1 is its first byte.
    const std::size_t dataStart = position_ + offsetBytes - 1;
    const std::size_t available = data_.size() - dataStart;
    entries.reserve(std::size_t(count));
    std::uint64_t previous = 0;
    for (std::int32_t i = 0; i <= count; ++i) {
        std::uint64_t offset = 0;
        for (std::int32_t k = 0; k < offSize; ++k)
            offset = offset << 8 | data_[position_++];
        if ((i == 0 && offset < 1) || offset < previous || offset > available) {
            entries.clear();
            return false;
        }
        if (i > 0)
            entries.push_back(data_.subspan(dataStart + previous, offset - previous));
        previous = offset;
    }
    position_ = dataStart + previous;
    return true;
}

bool CffReader::nextDictItem(std::span<const std::uint8_t> dict, std::size_t& pos,
                             std::vector<Operand>& operands, std::int32_t& op) {
    if (pos >= dict.size())
        return false;
    const std::uint8_t b = dict[pos++];
    const std::size_t left = dict.size() - pos;
    op = -1;
    if (b <= 21 || b == 31) {
        if (b != 12) {
            op = b;
        } else {
            if (left < 1)
                return false;
            op = kEscape + dict[pos++];
        }
    } else if (b == 28) {
        if (left < 2)
            return false;
        operands.push_back(integerOperand(std::int16_t(dict[pos] << 8 | dict[pos + 1])));
        pos += 2;
    } else if (b == 29) {
        if (left < 4)
            return false;
        const std::uint32_t v = std::uint32_t(dict[pos]) << 24 | std::uint32_t(dict[pos + 1]) << 16 |
                                std::uint32_t(dict[pos + 2]) << 8 | dict[pos + 3];
        operands.push_back(integerOperand(std::int32_t(v)));
        pos += 4;
    } else if (b == 30) {
        operands.push_back(readReal(dict, pos));
    } else if (b >= 32 && b <= 246) {
        operands.push_back(integerOperand(b - 139));
    } else if (b >= 247 && b <= 250) {
        if (left < 1)
            return false;
        operands.push_back(integerOperand((b - 247) * 256 + dict[pos++] + 108));
    } else if (b >= 251 && b <= 254) {
        if (left < 1)
            return false;
        operands.push_back(integerOperand(-(b - 251) * 256 - dict[pos++] - 108));
    } else {
        // 255 and the reserved bytes end the DICT.
        return false;
    }
    return true;
}

}  // namespace vistrel

// The reader of a compact (CFF) font program held in memory: bytes at a
// position that can be set anywhere in the program, INDEXes and DICTs.
//
// Every part of a program is reached through its offset, whatever the order
// the parts are laid out in. INDEX offsets are checked: they must start at 1 or
// more, rise and stay inside the program, else the INDEX (and with it the font) is
// refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vistrel {

class CffReader {
public:
    // One DICT operand: an integer, or a real (whose integer value is its
    // truncation, held within 32 bits).
    struct Operand {
        double real = 0.0;
        std::int32_t integer = 0;
        bool isInteger = true;
    };
    // DICT operators; 12 x is held as 0xC00 + x.
    static constexpr std::int32_t kEscape = 0xC00;

    explicit CffReader(std::span<const std::uint8_t> program) : data_(program) {}

    std::size_t position() const { return position_; }
    std::size_t size() const { return data_.size(); }
    // Moves to a byte position; false (and the reader at the end) when it
    // lies outside the program.
    bool seek(std::int64_t position);
    // The next byte, or -1 at the end.
    std::int32_t byte();
    // The next two bytes, big-endian, or -1 when they are not all there.
    std::int32_t word();

    // Reads the INDEX at the position into its entries (views of the
    // program) and moves past it. False for an offset size outside 1 to 4,
    // offsets that start below 1, fall, or lead past the end, and an
    // INDEX cut short.
    bool readIndex(std::vector<std::span<const std::uint8_t>>& entries);

    // Runs through a DICT, handing each operator with the operands before it
    // (oldest first) to the visitor. The DICT ends at its last byte or at a
    // byte that is neither operand nor operator.
    template <class Visitor>
    static void parseDict(std::span<const std::uint8_t> dict, Visitor&& visit) {
        std::vector<Operand> operands;
        std::size_t pos = 0;
        std::int32_t op = 0;
        while (nextDictItem(dict, pos, operands, op)) {
            if (op >= 0) {
                visit(op, std::span<const Operand>(operands));
                operands.clear();
            }
        }
    }

private:
    // Reads one operand (pushed, op set to -1) or operator (op set); false
    // at the end of the DICT.
    static bool nextDictItem(std::span<const std::uint8_t> dict, std::size_t& pos,
                             std::vector<Operand>& operands, std::int32_t& op);

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
};

}  // namespace vistrel

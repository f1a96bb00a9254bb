#include "engine/core/time_record.h"

#include "platform/files/win_sound.h"

namespace vistrel {

namespace {

// 100-nanosecond units in a day.
constexpr std::uint64_t kUnitsPerDay = 864000000000ull;

bool fitsWord(std::int32_t value) {
    return value >= 0 && value <= 0xFFFF;
}

}  // namespace

std::int32_t dayNumber(const TimeRecord& record) {
    if (!fitsWord(record.year) || !fitsWord(record.month) || !fitsWord(record.day) ||
        !fitsWord(record.hour) || !fitsWord(record.minute) || !fitsWord(record.second)) {
        return -1;
    }
    const win::SYSTEMTIME time{win::WORD(record.year),   win::WORD(record.month),
                               0,                        win::WORD(record.day),
                               win::WORD(record.hour),   win::WORD(record.minute),
                               win::WORD(record.second), 0};
    win::FILETIME units{};
    if (!win::SystemTimeToFileTime(&time, &units))
        return -1;
    // Whole days by an exact division: a day's last seconds stay in it.
    const std::uint64_t total = std::uint64_t(units.dwHighDateTime) << 32 | units.dwLowDateTime;
    return std::int32_t(total / kUnitsPerDay);
}

void currentTime(TimeRecord& record) {
    win::SYSTEMTIME now{};
    win::GetSystemTime(&now);
    record.hour = now.wHour;
    record.minute = now.wMinute;
    record.second = now.wSecond;
    record.day = now.wDay;
    record.month = now.wMonth;
    record.year = now.wYear;
}

win::SYSTEMTIME addTimes(const win::SYSTEMTIME& a, const win::SYSTEMTIME& b) {
    win::SYSTEMTIME sum = a;
    std::uint32_t carry = 0;
    const auto add = [&carry](win::WORD x, win::WORD y, std::uint32_t base) {
        const std::uint32_t total = std::uint32_t(x) + y + carry;
        carry = total / base;
        return win::WORD(total % base);
    };
    sum.wMilliseconds = add(a.wMilliseconds, b.wMilliseconds, 1000);
    sum.wSecond = add(a.wSecond, b.wSecond, 60);
    sum.wMinute = add(a.wMinute, b.wMinute, 60);
    sum.wHour = add(a.wHour, b.wHour, 24);
    sum.wDay = win::WORD(std::uint32_t(a.wDay) + b.wDay + carry);
    return sum;
}

void beep() {
    win::MessageBeep(0xFFFFFFFFu);
}

}  // namespace vistrel

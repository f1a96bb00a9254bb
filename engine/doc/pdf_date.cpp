#include "engine/doc/pdf_date.h"

namespace vistrel {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The text consumed from the front.
class DateCursor {
public:
    explicit DateCursor(const WString& text) : text_(text) {}

    int32_t left() const { return text_.size() - pos_; }
    char16_t peek(int32_t i = 0) const { return text_.at(pos_ + i); }
    void drop(int32_t n) { pos_ += n; }

    // Two decimal digits at the front (not consumed); -1 when they are not.
    int twoDigits() const {
        if (left() < 2 || !isDigit(peek(0)) || !isDigit(peek(1)))
            return -1;
        return (peek(0) - u'0') * 10 + (peek(1) - u'0');
    }

private:
    const WString& text_;
    int32_t pos_ = 0;
};

}  // namespace

bool parsePdfDate(const WString& text, PdfDateFields& fields) {
    fields = PdfDateFields();
    DateCursor rest(text);
    if (rest.left() < 2)
        return false;
    if (rest.peek() == u'D')
        rest.drop(2);

    if (rest.left() < 4)
        return false;
    int32_t year = 0;
    for (int i = 0; i < 4; ++i) {
        if (!isDigit(rest.peek(i)))
            return false;
        year = year * 10 + (rest.peek(i) - u'0');
    }
    fields.year = year;
    rest.drop(4);

    struct Field {
        uint8_t* target;
        int low;
        int high;
    };
    const Field parts[] = {
        {&fields.month, 1, 12},  {&fields.day, 1, 31},    {&fields.hour, 0, 23},
        {&fields.minute, 0, 59}, {&fields.second, 0, 59},
    };
    for (const Field& part : parts) {
        if (rest.left() == 0)
            return true;
        const int value = rest.twoDigits();
        if (value < 0)
            return false;
        if (value < part.low || value > part.high)
            return false;  // the field keeps its absent value
        *part.target = uint8_t(value);
        rest.drop(2);
    }

    if (rest.left() == 0)
        return true;
    const char16_t zone = rest.peek();
    if (zone != u'+' && zone != u'-' && zone != u'Z')
        return false;
    fields.zone = zone;
    rest.drop(1);
    if (rest.left() == 0)
        return true;

    // Zone hours and minutes: two digits, the first '0', then one separator
    // character that is not examined.
    uint8_t* zoneParts[] = {&fields.zoneHour, &fields.zoneMinute};
    for (uint8_t* target : zoneParts) {
        if (rest.left() < 3)
            return false;
        const int value = rest.twoDigits();
        if (value < 0 || rest.peek() != u'0')
            return false;
        *target = uint8_t(value);
        rest.drop(3);
        if (rest.left() == 0)
            return true;
    }
    return false;
}

}  // namespace vistrel

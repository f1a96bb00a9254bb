#include "engine/control/document_info.h"

#include "engine/constants/name_constants.h"
#include "engine/control/record_text.h"
#include "engine/doc/pdf_date.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {

using namespace VISTRELLib;

namespace {

constexpr const char16_t* kMonths[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                         u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

void appendTwoDigits(std::u16string& out, unsigned value) {
    out += char16_t(u'0' + value / 10 % 10);
    out += char16_t(u'0' + value % 10);
}

bool present(int32_t field) {
    return field != PdfDateFields::kAbsent;
}

// A new text of a string entry that holds at least one character, else null.
BSTR entryText(PdfDict& info, const PdfObject& key, bool isDate) {
    PdfString* value = asString(info.get(key));
    if (!value || value->size() == 0)
        return nullptr;
    WString text = value->textValue();
    if (isDate)
        formatPdfDate(text);
    return win::SysAllocStringLen(text.chars(), win::UINT(text.size()));
}

}  // namespace

void formatPdfDate(WString& date) {
    PdfDateFields f;
    if (!parsePdfDate(date, f))
        return;
    // Y, Mo, D, H, Mi, S, Z: each built only while every field before it
    // was given.
    std::u16string year, month, day, hour, minute, second, zone;
    if (present(f.year)) {
        for (char16_t c : std::to_string(f.year))
            year += c;
        if (present(f.month) && f.month >= 1 && f.month <= 12) {
            month = kMonths[f.month - 1];
            if (present(f.day)) {
                appendTwoDigits(day, f.day);
                if (present(f.hour)) {
                    appendTwoDigits(hour, f.hour);
                    if (present(f.minute)) {
                        minute = u":";
                        appendTwoDigits(minute, f.minute);
                        if (present(f.second)) {
                            second = u":";
                            appendTwoDigits(second, f.second);
                            if ((f.zone == u'+' || f.zone == u'-') && present(f.zoneHour)) {
                                zone = u"GMT";
                                zone += f.zone;
                                appendTwoDigits(zone, f.zoneHour);
                                if (present(f.zoneMinute)) {
                                    zone += u':';
                                    appendTwoDigits(zone, f.zoneMinute);
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    const std::u16string text =
        day + u" " + month + u" " + year + u" " + hour + minute + second + u" " + zone;
    date = WString(text.data(), int32_t(text.size()));
}

void readDocInfo(PdfDict& info, DocInfo& record) {
    record.title = entryText(info, names::Title, false);
    record.subject = entryText(info, names::Subject, false);
    record.author = entryText(info, names::Author, false);
    record.keywords = entryText(info, names::Keywords, false);
    record.creator = entryText(info, names::Creator, false);
    record.producer = entryText(info, names::Producer, false);
    record.creationDate = entryText(info, names::CreationDate, true);
    record.modificationDate = entryText(info, names::ModDate, true);
}

void clearDocInfo(DocInfo& record) {
    for (BSTR* field :
         {&record.title, &record.subject, &record.author, &record.keywords, &record.creator,
          &record.producer, &record.creationDate, &record.modificationDate}) {
        win::SysFreeString(*field);
        *field = nullptr;
    }
}

SecurityInfo securityInfoOf(const PdfDocument& document) {
    SecurityInfo record{};
    PdfTrailer* trailer = document.trailer();
    if (!trailer || !asDict(trailer->get(names::Encrypt)))
        return record;
    const uint32_t word = document.permissions();
    auto bit = [word](int n) { return LONG((word >> n) & 1); };
    record.encrypted = 1;
    record.userPassword = bit(0);
    record.ownerPassword = bit(1);
    record.printEnable = bit(2);
    record.changeEnable = bit(3);
    record.copyEnable = bit(4);
    record.changeAnnotationsEnable = bit(5);
    record.ownerPasswordEntered = bit(15);
    return record;
}

std::u16string docInfoText(const DocInfo& record) {
    std::u16string out;
    for (BSTR field : {record.title, record.subject, record.author, record.keywords, record.creator,
                       record.producer, record.creationDate, record.modificationDate}) {
        if (!out.empty())
            out += u',';
        appendQuotedField(out, field);
    }
    return out;
}

std::u16string securityInfoText(const SecurityInfo& record) {
    std::u16string out;
    for (LONG field : {record.encrypted, record.userPassword, record.ownerPassword,
                       record.printEnable, record.changeEnable, record.copyEnable,
                       record.changeAnnotationsEnable, record.ownerPasswordEntered}) {
        if (!out.empty())
            out += u',';
        appendNumberField(out, field);
    }
    return out;
}

}  // namespace vistrel

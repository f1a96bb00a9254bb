#include "viewer/app/page_range_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "viewer/app/number_text.h"
#include "viewer/app/vistrel_binding.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

std::optional<int> wholeNumber(QStringView text) {
    return parseDecimalInt(trimBlanks(text));
}

}  // namespace

std::vector<int> ParsePageRange(const QString& text, int pageCount) {
    std::vector<int> pages;
    const auto add = [&](long long page) {
        if (page >= 1 && page <= pageCount)
            pages.push_back(int(page));
    };
    QStringView rest = trimBlanks(text);
    while (!rest.isEmpty()) {
        QStringView item = rest;
        const qsizetype comma = rest.indexOf(u',');
        if (comma >= 0) {
            item = rest.left(comma);
            rest = trimBlanks(rest.mid(comma + 1));
        } else {
            rest = {};
        }
        item = trimBlanks(item);
        const qsizetype dash = item.indexOf(u'-');
        if (dash > 0) {
            const std::optional<int> first = wholeNumber(item.left(dash));
            const std::optional<int> last = wholeNumber(item.mid(dash + 1));
            if (!first || !last)
                continue;
            // Only the pages that can be added are walked: a range such as
            // 1-2147483647 ends at the page count.
            const long long from = std::max<long long>(*first, 1);
            const long long to = std::min<long long>(*last, pageCount);
            for (long long page = from; page <= to; ++page)
                add(page);
        } else if (const std::optional<int> page = wholeNumber(item)) {
            add(*page);
        }
    }
    return pages;
}

TfPrepPage::TfPrepPage(TVistrel& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName("fPrepPage");
    setWindowTitle(tr("Preparing pages for Device"));
    auto* group = new QGroupBox(tr("Page Range"), this);
    group->setObjectName("GroupBox1");
    rbAll = new QRadioButton(tr("&All"), group);
    rbAll->setObjectName("rbAll");
    rbAll->setChecked(true);
    rbCurrent = new QRadioButton(tr("Curr&ent page"), group);
    rbCurrent->setObjectName("rbCurrent");
    rbRange = new QRadioButton(tr("Pa&ges:"), group);
    rbRange->setObjectName("rbRange");
    Edit1 = new QLineEdit(group);
    Edit1->setObjectName("Edit1");
    Edit1->setEnabled(false);
    Label2 = new QLabel(
        tr("Enter page numbers and/or page ranges\nseparated by commas. For example, 1,3,5-12."),
        group);
    Label2->setObjectName("Label2");
    BitBtn1 = new QPushButton(tr("OK"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(tr("Cancel"), this);
    BitBtn2->setObjectName("BitBtn2");
    for (QRadioButton* button : {rbAll, rbCurrent, rbRange})
        connect(button, &QRadioButton::clicked, this, [this] { rbRangeClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* inGroup = new QVBoxLayout(group);
    inGroup->addWidget(rbAll);
    inGroup->addWidget(rbCurrent);
    auto* range = new QHBoxLayout;
    range->addWidget(rbRange);
    range->addWidget(Edit1);
    inGroup->addLayout(range);
    inGroup->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    rbRangeClick();
}

void TfPrepPage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        BitBtn1->setFocus();
}

void TfPrepPage::rbRangeClick() {
    const bool range = rbRange->isChecked();
    Edit1->setEnabled(range);
    QPalette colours = Edit1->palette();
    colours.setColor(QPalette::Base, palette().color(range ? QPalette::Base : QPalette::Button));
    Edit1->setPalette(colours);
    if (range)
        Edit1->setFocus();
}

void TfPrepPage::BitBtn1Click() {
    mode_ = None;
    pages_.clear();
    const int pageCount = engine_.pages();
    if (rbAll->isChecked())
        mode_ = AllPages;
    if (rbCurrent->isChecked())
        mode_ = CurrentPage;
    if (rbRange->isChecked()) {
        pages_ = ParsePageRange(Edit1->text(), pageCount);
        if (!pages_.empty()) {
            mode_ = PageList;
        } else {
            showMessage({QString(), QStringLiteral("This is not a valid page range")});
            Edit1->setFocus();
        }
    }
    if (mode_ > None) {
        if (OnPreparePages)
            OnPreparePages(mode_);
        accept();
    }
}

}  // namespace brevant

#include "viewer/app/go_to_page_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <optional>

#include "viewer/app/main_form.h"
#include "viewer/app/number_text.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

// The smallest zoom the dialog's label offers, in percent.
constexpr int kMinimumZoom = 25;

}  // namespace

TGoToPage::TGoToPage(TBrevantForm& main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName("GoToPage");
    setWindowTitle(tr("Go to Page"));
    Label1 = new QLabel(tr("Enter desired page number (1 to"), this);
    Label1->setObjectName("Label1");
    eNewPage = new QLineEdit(this);
    eNewPage->setObjectName("eNewPage");
    Label2 = new QLabel(tr("Enter desired zoom (25% to 300%)"), this);
    Label2->setObjectName("Label2");
    eNewZoom = new QLineEdit(this);
    eNewZoom->setObjectName("eNewZoom");
    BitBtn2 = new QPushButton(tr("Go To"), this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setDefault(true);
    BitBtn1 = new QPushButton(tr("Cancel"), this);
    BitBtn1->setObjectName("BitBtn1");
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
        accept();
    });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(eNewPage, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(eNewZoom, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

void TGoToPage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TGoToPage::FormShow() {
    Label1->setText("Enter desired page number (1 to " + QString::number(main_.Vistrel1.pages()) +
                    ")");
    eNewPage->setText(QString::number(main_.GetPage()));
    // Shortest form, up to 15 significant digits: 100, 37.5.
    eNewZoom->setText(QString::number(main_.GetZoomPercent(), 'g', 15));
    // A page number typed at once replaces the page shown.
    eNewPage->setFocus();
    eNewPage->selectAll();
}

void TGoToPage::BitBtn2Click() {
    const bool editing = main_.BeginViewEdit();
    if (const std::optional<int> page = parseDecimalInt(eNewPage->text().trimmed());
        page && editing)
        main_.viewEdit().page = *page;
    std::optional<int> zoom;
    try {
        zoom = ClampZoomPercent(ParseLeadingInt(eNewZoom->text(), 0, true));
    } catch (const NumberError&) {
    }
    // A zoom below the range the label gives is refused as one that cannot
    // be read is.
    if (zoom && *zoom >= kMinimumZoom) {
        if (editing)
            main_.viewEdit().zoom = *zoom;
    } else {
        // The text as the program has always shown it, without a closing quote.
        showMessage({windowTitle(), "Error in Zoom numbered '" + eNewZoom->text() +
                                        "\nThe Zoom will not be changed"});
    }
    main_.CommitViewEdit(true);
}

}  // namespace brevant

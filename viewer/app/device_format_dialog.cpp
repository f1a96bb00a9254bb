#include "viewer/app/device_format_dialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <utility>

namespace brevant {

TfPalmFormat::TfPalmFormat(QWidget* parent) : QDialog(parent) {
    setObjectName("fPalmFormat");
    GroupBox1 = new QGroupBox(tr("Select Palm Format"), this);
    GroupBox1->setObjectName("GroupBox1");
    rbPalmIII = new QRadioButton(tr("Compatible"), GroupBox1);
    rbPalmIII->setObjectName("rbPalmIII");
    rbPalmIII->setChecked(true);
    rbAdvanced = new QRadioButton(tr("Advanced"), GroupBox1);
    rbAdvanced->setObjectName("rbAdvanced");
    // The advanced choices sit outside the group: a group of their own.
    rbPalmVa = new QRadioButton(tr("preserve brightness"), this);
    rbPalmVa->setObjectName("rbPalmVa");
    rbPalmVa->setChecked(true);
    rbPalmVb = new QRadioButton(tr("maximize contrast"), this);
    rbPalmVb->setObjectName("rbPalmVb");
    for (auto [a, b] : {std::pair{rbPalmIII, rbAdvanced}, std::pair{rbPalmVa, rbPalmVb}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
    }
    RadioGroup1 = new QGroupBox(this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->hide();
    BitBtn1 = new QPushButton(tr("OK"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn2 = new QPushButton(tr("Cancel"), this);
    BitBtn2->setObjectName("BitBtn2");
    for (QRadioButton* button : {rbPalmIII, rbAdvanced})
        connect(button, &QRadioButton::clicked, this, [this] { rbPalmIIIClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* inGroup = new QVBoxLayout(GroupBox1);
    inGroup->addWidget(rbPalmIII);
    inGroup->addWidget(rbAdvanced);
    auto* choices = new QVBoxLayout;
    choices->setContentsMargins(32, 0, 0, 0);
    choices->addWidget(rbPalmVa);
    choices->addWidget(rbPalmVb);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(choices);
    layout->addLayout(buttons);
}

void TfPalmFormat::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfPalmFormat::FormShow() {
    if (format_ == 4)
        rbPalmIII->setChecked(true);
    if (format_ > 4)
        rbAdvanced->setChecked(true);
    rbPalmIIIClick();
    if (format_ == 16)
        rbPalmVa->setChecked(true);
    if (format_ == 17)
        rbPalmVb->setChecked(true);
}

void TfPalmFormat::rbPalmIIIClick() {
    const bool advanced = rbAdvanced->isChecked();
    rbPalmVa->setEnabled(advanced);
    rbPalmVb->setEnabled(advanced);
}

void TfPalmFormat::BitBtn1Click() {
    format_ = rbPalmIII->isChecked() ? 4 : rbPalmVa->isChecked() ? 16 : 17;
}

}  // namespace brevant

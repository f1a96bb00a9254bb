// TfPalmFormat: the Select Device Format dialog. The caller sets the device
// format (4 "Compatible", 16 "preserve brightness", 17 "maximize
// contrast"), shows the dialog and reads the format back after OK.
#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace brevant {

class TfPalmFormat : public QDialog {
    Q_OBJECT

public:
    explicit TfPalmFormat(QWidget* parent = nullptr);

    int format() const { return format_; }
    void setFormat(int format) { format_ = format; }

    QGroupBox* GroupBox1;  // "Select Palm Format"
    QRadioButton* rbPalmIII;
    QRadioButton* rbAdvanced;
    QRadioButton* rbPalmVa;
    QRadioButton* rbPalmVb;
    QGroupBox* RadioGroup1;  // hidden
    QPushButton* BitBtn1;    // OK
    QPushButton* BitBtn2;    // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    // The two advanced choices are open only with Advanced checked.
    void rbPalmIIIClick();
    void BitBtn1Click();

    int format_ = 4;
};

}  // namespace brevant

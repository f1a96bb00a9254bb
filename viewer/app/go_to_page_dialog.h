// TGoToPage: the Go to Page dialog, which moves the main window's view to a
// typed page and zoom.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brevant {

class TBrevantForm;

class TGoToPage : public QDialog {
    Q_OBJECT

public:
    explicit TGoToPage(TBrevantForm& main, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* eNewPage;
    QLabel* Label2;
    QLineEdit* eNewZoom;
    QPushButton* BitBtn2;  // Go To
    QPushButton* BitBtn1;  // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BitBtn2Click();

    TBrevantForm& main_;
};

}  // namespace brevant

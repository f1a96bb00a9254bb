// TfPrepPage: the dialog that asks which pages go to the device: all, the
// current one, or a typed list such as "1,3,5-12".
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace brevant {

class TVistrel;

// The pages of a typed page list that lie in 1..pageCount, in the order
// typed, repeats kept. Items are cut at commas and trimmed; "a-b" (the dash
// after the first character) gives a, a+1, ..., b, nothing when b is below
// a; any other item reads as one page. Items that do not read as whole
// numbers are skipped, pages outside 1..pageCount dropped.
std::vector<int> ParsePageRange(const QString& text, int pageCount);

class TfPrepPage : public QDialog {
    Q_OBJECT

public:
    // The pages the dialog chooses from are the engine's.
    explicit TfPrepPage(TVistrel& engine, QWidget* parent = nullptr);

    enum Mode { None = 0, AllPages = 1, CurrentPage = 2, PageList = 3 };

    // What OK chose; PageList comes with the list of pages.
    int mode() const { return mode_; }
    const std::vector<int>& pages() const { return pages_; }

    // Called on OK with the mode chosen (above 0) before the dialog closes:
    // the main window prepares those pages.
    std::function<void(int mode)> OnPreparePages;

    QRadioButton* rbAll;
    QRadioButton* rbCurrent;
    QRadioButton* rbRange;
    QLineEdit* Edit1;
    QLabel* Label2;
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rbRangeClick();
    void BitBtn1Click();

    TVistrel& engine_;
    int mode_ = None;
    std::vector<int> pages_;
};

}  // namespace brevant

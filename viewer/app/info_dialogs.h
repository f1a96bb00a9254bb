// The dialogs that show what the engine reports about the open document:
// its information fields, its security settings and its fonts.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QPixmap>
#include <QStringList>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace brevant {

class TfInfo : public QDialog {
    Q_OBJECT

public:
    // infoText: the engine's infoInStr.
    explicit TfInfo(std::function<QString()> infoText, QWidget* parent = nullptr);
    std::array<QLineEdit*, 8> edits;  // Edit2 .. Edit9: fields 1-8
    QPushButton* OK;
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QString()> infoText_;
    int dateWidth_ = 0;  // a field's width with room for any date
};

// The texts of the security dialog for a securityInfoInStr text, in the
// order Method, Open Password, Security Password, Current Access, Printing,
// Changing, Copying, Changing Annotations. A field counts as set only when
// it is exactly "1".
std::array<QString, 8> securityTexts(const QString& record);

class TfSecurInfo : public QDialog {
    Q_OBJECT

public:
    explicit TfSecurInfo(std::function<QString()> securityText, QWidget* parent = nullptr);
    std::array<QLineEdit*, 8> edits;  // Edit2 .. Edit9
    QPushButton* OK;
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QString()> securityText_;
};

// One font of the font dialog: the original font and the font used, each
// with the icon of its kind, and the kind of encoding.
class TfrFontInfo : public QFrame {
    Q_OBJECT

public:
    static constexpr int kHeight = 24;
    explicit TfrFontInfo(QWidget* parent = nullptr);
    QLabel* Image1;
    QPlainTextEdit* mOriginalName;
    QPlainTextEdit* mEncoding;
    QLabel* Image2;
    QPlainTextEdit* mUsedName;
    int fontType1 = -1, fontType2 = -1;  // the icons' indices
};

// The icon of a font kind (0 TrueType, 1 Type 1, 2 Type 1C, 3 Type 3),
// 15 by 15; none for other numbers.
QPixmap fontTypeIcon(int type);

class TfFontInfo : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxHeight = 200;
    explicit TfFontInfo(QWidget* parent = nullptr);
    QLabel* Header;
    QScrollArea* ScrollBox1;

    // One frame "FI<i>" per fontInfoInStr record; then the dialog, at most
    // 200 pixels high, shown modally (exec). Without records, nothing.
    // `run` stands in for the modal loop (tests script it).
    void ShowFonts(const QStringList& records);
    std::function<void(TfFontInfo&)> run;
    // The frames in the scroll box.
    QList<TfrFontInfo*> frames() const;
    void FormClose();

protected:
    void done(int result) override;

private:
    QWidget* content_;
};

}  // namespace brevant

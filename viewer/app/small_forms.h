// The small forms of the viewer: the password prompt, the splash screen,
// the about box, and the bookmark form and the test form with a page view,
// which are made at start-up and never shown.
#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string_view>

#include "viewer/components/byte_io.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace brevant {

class GifImage;
class PageViewHost;
class TfrScroll;

// The GIF file of the program's resources of that name; empty when unknown.
ByteSpan pictureResource(std::string_view name);

// That picture read by the components' GIF reader; empty when unknown.
std::unique_ptr<GifImage> programPicture(std::string_view name);

// Shows a GIF picture at its own size.
class GifPictureLabel : public QWidget {
public:
    explicit GifPictureLabel(std::unique_ptr<GifImage> picture, QWidget* parent = nullptr);
    ~GifPictureLabel() override;
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<GifImage> picture_;
};

class TfPassword : public QDialog {
    Q_OBJECT

public:
    explicit TfPassword(QWidget* parent = nullptr);

    // Asks for the password of the document file name: true with the
    // entered password on OK; false, the password untouched, otherwise.
    bool AskPassword(const QString& fileName, QString& password);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QPushButton* BitBtn2;  // OK
    QPushButton* BitBtn1;  // Cancel
};

class TfSplash : public QDialog {
    Q_OBJECT

public:
    // seconds: the options dialog's splash duration, read at each show.
    explicit TfSplash(std::function<int()> seconds, QWidget* parent = nullptr);

    GifPictureLabel* Image1;
    QTimer Timer1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<int()> seconds_;
};

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    GifPictureLabel* ProgramIcon;
    QLabel* ProductName;
};

class TfAddBookmark : public QDialog {
    Q_OBJECT

public:
    explicit TfAddBookmark(QWidget* parent = nullptr);
};

class TfTest : public QDialog {
    Q_OBJECT

public:
    explicit TfTest(PageViewHost& host, QWidget* parent = nullptr);

    TfrScroll* frScroll1;

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace brevant

#include "viewer/app/small_forms.h"

#include "viewer/app/help_topics.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "viewer/app/page_view_frame.h"
#include "viewer/components/gif_image.h"
#include "viewer/components/qt_pictures.h"

namespace brevant {

std::unique_ptr<GifImage> programPicture(std::string_view name) {
    auto picture = std::make_unique<GifImage>();
    const ByteSpan file = pictureResource(name);
    if (!file.empty())
        picture->loadFromBytes(file);
    return picture;
}

GifPictureLabel::GifPictureLabel(std::unique_ptr<GifImage> picture, QWidget* parent)
    : QWidget(parent), picture_(std::move(picture)) {
    if (!picture_->empty())
        setFixedSize(picture_->width(), picture_->height());
}

GifPictureLabel::~GifPictureLabel() = default;

void GifPictureLabel::paintEvent(QPaintEvent*) {
    if (picture_->empty())
        return;
    QPainter painter(this);
    drawGif(painter, rect(), *picture_);
}

void GifPictureLabel::mousePressEvent(QMouseEvent* event) {
    if (OnClick)
        OnClick();
    QWidget::mousePressEvent(event);
}

TfPassword::TfPassword(QWidget* parent) : QDialog(parent) {
    setHelpContext(this, 2);
    bindFormHelp(this);
    setObjectName("fPassword");
    setWindowTitle(tr("Password"));
    Label1 = new QLabel("-", this);
    Label1->setObjectName("Label1");
    Label2 = new QLabel(tr("Password:"), this);
    Label2->setObjectName("Label2");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setEchoMode(QLineEdit::Password);
    BitBtn2 = new QPushButton(tr("OK"), this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setDefault(true);
    BitBtn1 = new QPushButton(tr("Cancel"), this);
    BitBtn1->setObjectName("BitBtn1");
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    auto* row = new QHBoxLayout;
    row->addWidget(Label2);
    row->addWidget(Edit1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    layout->addLayout(buttons);
}

bool TfPassword::AskPassword(const QString& fileName, QString& password) {
    Label1->setText(u'"' + fileName + QStringLiteral("\" is protected."));
    Edit1->clear();
    if (exec() != QDialog::Accepted)
        return false;
    password = Edit1->text();
    return true;
}

TfSplash::TfSplash(std::function<int()> seconds, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      seconds_(std::move(seconds)) {
    setObjectName("fSplash");
    setWindowTitle(tr("Splash"));
    Image1 = new GifPictureLabel(programPicture("splash.gif"), this);
    Image1->setObjectName("Image1");
    Image1->OnClick = [this] { close(); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    Timer1.setInterval(5000);
    // Never before its time: a coarse timer may fire a little early.
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, [this] {
        Timer1.stop();
        close();
    });
}

void TfSplash::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Timer1.setInterval(seconds_() * 1000);
    Timer1.start();
    repaint();
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(tr("About Lumbra for Palm OS"));
    setFixedSize(198, 182);
    ProgramIcon = new GifPictureLabel(programPicture("logo.gif"), this);
    ProgramIcon->setObjectName("ProgramIcon");
    ProductName = new QLabel(this);
    ProductName->setObjectName("ProductName");
    ProductName->setAlignment(Qt::AlignCenter);
    ProductName->setText(
        QStringLiteral("Lumbra for Palm OS. v%s\nPDF pages for the handheld").replace("%s", "1.3"));
    // The lines wrap rather than run past the box's narrow panel.
    ProductName->setWordWrap(true);
    auto* ok = new QPushButton(tr("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(4, 4, 4, 4);
    inner->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
    inner->addWidget(ProductName);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

TfAddBookmark::TfAddBookmark(QWidget* parent) : QDialog(parent) {
    setObjectName("fAddBookmark");
}

TfTest::TfTest(PageViewHost& host, QWidget* parent) : QDialog(parent) {
    setObjectName("fTest");
    setWindowTitle("fTest");
    frScroll1 = new TfrScroll(host, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frScroll1);
}

void TfTest::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    frScroll1->Layout();
}

}  // namespace brevant

#include "viewer/app/annotation_frame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "viewer/app/annotation_controls.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

// The close picture: a light cross, so that it shows on the black caption
// strip.
QPixmap closePicture() {
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawLine(2, 2, 9, 9);
    painter.drawLine(9, 2, 2, 9);
    return picture;
}

// The resize grip: three diagonal strokes in the corner.
QPixmap gripPicture() {
    QPixmap picture(8, 8);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(Qt::darkGray);
    for (int d = 1; d <= 7; d += 3)
        painter.drawLine(8 - d, 7, 7, 8 - d);
    return picture;
}

QWidget* strip(QWidget* parent, const char* name, int height, const QColor& colour) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    if (height > 0)
        panel->setFixedHeight(height);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    return panel;
}

}  // namespace

TfrAnnotation::TfrAnnotation(AnnotationControls& controls, QWidget* parent)
    : QFrame(parent), controls_(controls) {
    PntPanelG1 = new TPntPanelG(this);
    PntPanelG1->setObjectName("PntPanelG1");
    PntPanelG1->lower();
    resize(kDefaultWidth, kDefaultHeight);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(0);
    // The grip may make the note smaller than its parts would like.
    column->setSizeConstraint(QLayout::SetNoConstraint);

    Panel1 = strip(this, "Panel1", 16, Qt::black);
    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    pCaption = new QLabel(QStringLiteral("-"), Panel1);
    pCaption->setObjectName("pCaption");
    pCaption->setAutoFillBackground(true);
    Image2 = new QLabel(Panel1);
    Image2->setObjectName("Image2");
    Image2->setPixmap(closePicture());
    Image2->setToolTip(QStringLiteral("Hide annotation"));
    top->addWidget(pCaption, 1);
    top->addWidget(Image2);
    setCaptionColours(Qt::cyan, Qt::black);

    Panel2 = strip(this, "Panel2", 0, Qt::white);
    auto* body = new QVBoxLayout(Panel2);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    mText = new QPlainTextEdit(Panel2);
    mText->setObjectName("mText");
    mText->setFrameShape(QFrame::NoFrame);
    mText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    body->addWidget(mText, 1);
    Panel3 = strip(Panel2, "Panel3", 8, Qt::white);
    auto* bottom = new QHBoxLayout(Panel3);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch(1);
    Image3 = new QLabel(Panel3);
    Image3->setObjectName("Image3");
    Image3->setPixmap(gripPicture());
    Image3->setCursor(Qt::SizeFDiagCursor);
    bottom->addWidget(Image3);
    body->addWidget(Panel3);

    column->addWidget(Panel1);
    column->addWidget(Panel2, 1);

    for (QWidget* part : {static_cast<QWidget*>(pCaption), Panel3, static_cast<QWidget*>(Image3),
                          static_cast<QWidget*>(Image2), mText->viewport()})
        part->installEventFilter(this);
}

void TfrAnnotation::setCaptionColours(const QColor& background, const QColor& text) {
    QPalette palette = pCaption->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    pCaption->setPalette(palette);
}

void TfrAnnotation::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PntPanelG1->setGeometry(rect());
}

bool TfrAnnotation::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint screen = mouse->globalPosition().toPoint();
    if (watched == mText->viewport()) {
        if (type == QEvent::MouseButtonPress)
            raise();
        return false;
    }
    if (watched == Image2) {
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
            Image2->rect().contains(mouse->position().toPoint()))
            Image2Click();
        return true;
    }
    if (watched == Image3) {
        if (type == QEvent::MouseButtonPress)
            Panel4MouseDown(screen);
        else if (type == QEvent::MouseMove)
            Panel4MouseMove(screen);
        else
            Panel4MouseUp();
        return true;
    }
    // The caption and the bottom strip move the note.
    if (type == QEvent::MouseButtonPress)
        pCaptionMouseDown(screen);
    else if (type == QEvent::MouseMove)
        pCaptionMouseMove(screen);
    else
        pCaptionMouseUp();
    return true;
}

void TfrAnnotation::pCaptionMouseDown(QPoint screen) {
    if (moving_)
        return;
    raise();
    moving_ = true;
    moveGrab_ = screen - pos();
}

void TfrAnnotation::pCaptionMouseMove(QPoint screen) {
    if (!moving_)
        return;
    const QPoint at = screen - moveGrab_;
    move(std::max(at.x(), 0), std::max(at.y(), 0));
}

void TfrAnnotation::pCaptionMouseUp() {
    moving_ = false;
}

void TfrAnnotation::Panel4MouseDown(QPoint screen) {
    if (resizing_)
        return;
    raise();
    resizing_ = true;
    resizeGrab_ = screen - (pos() + QPoint(width(), height()));
}

void TfrAnnotation::Panel4MouseMove(QPoint screen) {
    if (!resizing_)
        return;
    const QPoint corner = screen - resizeGrab_ - pos();
    resize(std::max(corner.x(), kMinimumSize), std::max(corner.y(), kMinimumSize));
}

void TfrAnnotation::Panel4MouseUp() {
    resizing_ = false;
}

void TfrAnnotation::Image2Click() {
    hide();
    setEnabled(false);
    if (tag < 0)
        return;
    if (QWidget* icon = controls_.control(tag)) {
        icon->move(pos());
        icon->show();
        icon->setEnabled(true);
    }
}

}  // namespace brevant

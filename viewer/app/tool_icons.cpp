#include "viewer/app/tool_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "viewer/app/viewer_cursors.h"

namespace brevant {
namespace {

constexpr int kSize = 16;
const QColor kInk(40, 40, 40);
const QColor kArrow(30, 90, 180);
const QColor kPaper(255, 255, 255);
const QColor kDevice(70, 80, 90);
const QColor kScreen(160, 200, 150);

// A sheet of paper with a folded corner.
void drawPage(QPainter& p, QRectF r) {
    QPainterPath sheet;
    const qreal fold = r.width() / 3;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(sheet);
}

void drawTriangle(QPainter& p, QPointF tip, qreal back, qreal half) {
    QPolygonF triangle{tip, {back, tip.y() - half}, {back, tip.y() + half}};
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    p.drawPolygon(triangle);
}

// A double arrow from a to b.
void drawDoubleArrow(QPainter& p, QPointF a, QPointF b) {
    p.setPen(QPen(kArrow, 1.5));
    p.drawLine(a, b);
    const QPointF d = (b - a) / QLineF(a, b).length() * 3;
    const QPointF n(-d.y(), d.x());
    p.setBrush(kArrow);
    p.drawPolygon(QPolygonF{a, a + d + n, a + d - n});
    p.drawPolygon(QPolygonF{b, b - d + n, b - d - n});
}

void drawDevice(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(kDevice);
    p.drawRoundedRect(r, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kScreen);
    p.drawRect(QRectF(r.left() + 2, r.top() + 2, r.width() - 4, r.width() - 4));
}

// An arrow along the middle row, its head at `tip` (x), its tail at `tail`.
void drawArrow(QPainter& p, qreal tail, qreal tip) {
    const qreal head = tip < tail ? 5 : -5;
    p.setPen(QPen(kArrow, 2));
    p.drawLine(QPointF(tail, 8), QPointF(tip + head / 2, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    p.drawPolygon(QPolygonF{{tip, 8}, {tip + head, 3.5}, {tip + head, 12.5}});
}

QImage scaledCursor(ViewerCursor id) {
    QImage picture = viewerCursorPicture(id);
    if (picture.width() > kSize || picture.height() > kSize)
        picture = picture.scaled(kSize, kSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return picture;
}

void paint(ToolIcon icon, QPainter& p) {
    switch (icon) {
        case ToolIcon::Open:
            // An open folder: its back, then the flap tilted towards the viewer.
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(230, 190, 80));
            p.drawPolygon(
                QPolygonF{{1.5, 13.5}, {1.5, 3.5}, {5.5, 3.5}, {7, 5}, {12.5, 5}, {12.5, 13.5}});
            p.setBrush(QColor(250, 215, 110));
            p.drawPolygon(QPolygonF{{1.5, 13.5}, {4, 7.5}, {15.5, 7.5}, {12.5, 13.5}});
            break;
        case ToolIcon::SavePdb:
            // A diskette: body, shutter and label.
            p.setPen(QPen(kInk, 1));
            p.setBrush(kArrow);
            p.drawPolygon(
                QPolygonF{{1.5, 1.5}, {12.5, 1.5}, {14.5, 3.5}, {14.5, 14.5}, {1.5, 14.5}});
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 205, 210));
            p.drawRect(QRectF(4, 2, 7, 5));
            p.setBrush(kInk);
            p.drawRect(QRectF(8, 3, 2, 3));
            p.setBrush(kPaper);
            p.drawRect(QRectF(3, 9, 10, 5));
            break;
        case ToolIcon::PrevView:
            drawArrow(p, 14, 2);
            break;
        case ToolIcon::NextView:
            drawArrow(p, 2, 14);
            break;
        case ToolIcon::Pane:
            p.setPen(QPen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(kArrow);
            p.drawRect(QRectF(1.5, 2.5, 4, 11));
            break;
        case ToolIcon::FirstPage:
            p.fillRect(QRectF(3, 3, 2, 10), kArrow);
            drawTriangle(p, {5, 8}, 12, 5);
            break;
        case ToolIcon::PrevPage:
            drawTriangle(p, {4, 8}, 11, 5);
            break;
        case ToolIcon::NextPage:
            drawTriangle(p, {12, 8}, 5, 5);
            break;
        case ToolIcon::LastPage:
            drawTriangle(p, {11, 8}, 4, 5);
            p.fillRect(QRectF(11, 3, 2, 10), kArrow);
            break;
        case ToolIcon::Hand:
        case ToolIcon::ZoomBox: {
            QImage picture = scaledCursor(icon == ToolIcon::Hand ? kOpenHandCursor : kZoomInCursor);
            p.drawImage(QPointF((kSize - picture.width()) / 2.0, (kSize - picture.height()) / 2.0),
                        picture);
            break;
        }
        case ToolIcon::ActualSize: {
            drawPage(p, QRectF(2.5, 1.5, 11, 13));
            QFont font = p.font();
            font.setPixelSize(6);
            font.setBold(true);
            p.setFont(font);
            p.setPen(kInk);
            p.drawText(QRectF(2, 4, 12, 9), Qt::AlignCenter, QStringLiteral("1:1"));
            break;
        }
        case ToolIcon::FitWidth:
            drawPage(p, QRectF(3.5, 1.5, 9, 13));
            drawDoubleArrow(p, {1, 8}, {15, 8});
            break;
        case ToolIcon::FullPage:
            p.setPen(QPen(kArrow, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(0.5, 0.5, 15, 15));
            drawPage(p, QRectF(3.5, 2.5, 9, 11));
            break;
        case ToolIcon::FitHeight:
            drawPage(p, QRectF(3.5, 2.5, 9, 11));
            drawDoubleArrow(p, {8, 1}, {8, 15});
            break;
        case ToolIcon::DisplayGraphics:
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(200, 225, 250));
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(240, 200, 40));
            p.drawEllipse(QPointF(11, 6), 2, 2);
            p.setBrush(QColor(60, 150, 60));
            p.drawPolygon(QPolygonF{{2, 13}, {6.5, 7}, {10, 11}, {12, 9.5}, {14, 13}});
            break;
        case ToolIcon::PreviewPages:
            drawDevice(p, QRectF(3.5, 0.5, 9, 15));
            p.setPen(QPen(kInk, 1));
            for (qreal y : {4.5, 6.5, 8.5})
                p.drawLine(QPointF(6, y), QPointF(10, y));
            break;
        case ToolIcon::ShowOnDevice:
            drawDevice(p, QRectF(5.5, 0.5, 9, 15));
            drawTriangle(p, {6, 6}, 1, 3);
            break;
        case ToolIcon::PreparePages:
            drawPage(p, QRectF(4.5, 0.5, 9, 11));
            drawPage(p, QRectF(1.5, 3.5, 9, 11));
            p.fillRect(QRectF(10, 9, 6, 2), QColor(40, 150, 40));
            p.fillRect(QRectF(12, 7, 2, 6), QColor(40, 150, 40));
            break;
        case ToolIcon::DocInfo: {
            p.setPen(Qt::NoPen);
            p.setBrush(kArrow);
            p.drawEllipse(QPointF(8, 8), 7, 7);
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(8, 4.5), 1.3, 1.3);
            p.drawRect(QRectF(7, 7, 2, 6));
            break;
        }
        case ToolIcon::Options:
            p.setPen(QPen(kInk, 1));
            for (int i = 0; i < 3; ++i) {
                const qreal y = 3.5 + i * 4.5;
                p.drawLine(QPointF(1, y), QPointF(15, y));
                p.setBrush(kArrow);
                p.drawRect(QRectF(i == 1 ? 9.5 : 3.5, y - 1.5, 3, 3));
            }
            break;
        default:
            break;
    }
}

}  // namespace

QIcon toolIcon(ToolIcon icon) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(icon, painter);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace brevant

#include "viewer/components/transparent_button.h"

#include <QEnterEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

namespace brevant {
namespace {

// A rectangle with exclusive right and bottom edges.
struct Edges {
    int left, top, right, bottom;
};

// Draws `width` nested one-pixel frames inside r: top and left edges in the
// top colour, bottom and right edges in the bottom colour (which also takes
// the top-right and bottom-left corners). r ends shrunk by the frames drawn.
void frame3D(QPainter& p, Edges& r, const QColor& top, const QColor& bottom, int width) {
    --r.right;
    --r.bottom;
    for (; width > 0; --width) {
        if (r.right >= r.left && r.bottom >= r.top) {
            p.fillRect(QRect(r.left, r.top, 1, r.bottom - r.top + 1), top);
            p.fillRect(QRect(r.left, r.top, r.right - r.left, 1), top);
            p.fillRect(QRect(r.right, r.top, 1, r.bottom - r.top + 1), bottom);
            p.fillRect(QRect(r.left, r.bottom, r.right - r.left + 1, 1), bottom);
        }
        ++r.left;
        ++r.top;
        --r.right;
        --r.bottom;
    }
    ++r.right;
    ++r.bottom;
}

// A filled rectangle with an outline of the pen colour and width.
void rectangle(QPainter& p, Edges r, const QColor& pen, const QColor& fill, int width) {
    p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), fill);
    frame3D(p, r, pen, pen, width);
}

// The image with every pixel of the colour made transparent.
QImage masked(const QImage& image, QRgb transparent) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF))
                line[x] = 0;
    }
    return out;
}

QRgb lowerLeft(const QImage& image) {
    return image.pixel(0, image.height() - 1);
}

// Grey levels weighted 11 red, 59 green, 30 blue.
QImage greyImage(const QImage& cell) {
    QImage out = cell.copy();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            int g = (11 * qRed(line[x]) + 59 * qGreen(line[x]) + 30 * qBlue(line[x])) / 100;
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

// The glyph's shape (every pixel that is neither white nor the colour at
// (0, 0)) embossed on the button face: shadow, with highlight one pixel to
// the lower right.
QImage disabledImage(const QImage& cell, const QPalette& pal) {
    const QRgb reference = cell.pixel(0, 0) & 0xFFFFFF;
    auto isShape = [&](int x, int y) {
        QRgb p = cell.pixel(x, y) & 0xFFFFFF;
        return p != 0xFFFFFF && p != reference;
    };
    QImage out(cell.size(), QImage::Format_RGB32);
    out.fill(pal.color(QPalette::Active, QPalette::Button));
    QRgb highlight = pal.color(QPalette::Active, QPalette::Light).rgb(),
         shadow = pal.color(QPalette::Active, QPalette::Dark).rgb();
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            if (isShape(x, y))
                out.setPixel(x, y, shadow);
            else if (x > 0 && y > 0 && isShape(x - 1, y - 1))
                out.setPixel(x, y, highlight);
        }
    return out;
}

}  // namespace

TransparentButton::TransparentButton(QWidget* parent) : QWidget(parent) {
    setGeometry(0, 0, 40, 40);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
}

void TransparentButton::setAutoGray(bool on) {
    if (on != autoGray_) {
        autoGray_ = on;
        update();
    }
}

void TransparentButton::setBorderWidth(int width) {
    if (width != borderWidth_) {
        borderWidth_ = width;
        update();
    }
}

void TransparentButton::setCaption(const QString& text) {
    if (text == caption_)
        return;
    caption_ = text;
    if (shortcutId_)
        releaseShortcut(shortcutId_);
    QKeySequence key = QKeySequence::mnemonic(text);
    shortcutId_ = key.isEmpty() ? 0 : grabShortcut(key);
    update();
}

void TransparentButton::setDown(bool down) {
    if (down == down_)
        return;
    down_ = down;
    held_ = pressedLook_ = down;
    repaint();
}

void TransparentButton::setFrameStyle(FrameStyle style) {
    if (style != frameStyle_) {
        frameStyle_ = style;
        update();
    }
}

void TransparentButton::setGlyph(const QImage& glyph) {
    glyph_ = glyph.convertToFormat(QImage::Format_RGB32);
    glyphChanged();
}

void TransparentButton::setNumGlyphs(int n) {
    n = std::clamp(n, 1, 4);
    if (n == numGlyphs_)
        return;
    numGlyphs_ = n;
    // The cells are cut anew for the new count.
    rebuildImages();
    update();
}

void TransparentButton::setShowPressed(bool on) {
    if (on != showPressed_) {
        showPressed_ = on;
        update();
    }
}

void TransparentButton::setSpacing(int spacing) {
    if (spacing != spacing_) {
        spacing_ = spacing;
        update();
    }
}

void TransparentButton::setTextAlign(TextAlign align) {
    if (align != textAlign_) {
        textAlign_ = align;
        update();
    }
}

void TransparentButton::setTransparent(bool on) {
    if (on != transparent_) {
        transparent_ = on;
        update();
    }
}

void TransparentButton::setWordWrap(bool on) {
    if (on != wordWrap_) {
        wordWrap_ = on;
        update();
    }
}

void TransparentButton::glyphChanged() {
    update();
    int w = glyph_.width(), h = glyph_.height();
    if (h > 0 && w % h == 0) {
        int n = w / h;
        numGlyphs_ = n > 4 ? 1 : std::max(n, 1);
    }
    rebuildImages();
}

void TransparentButton::rebuildImages() {
    images_.clear();
    if (glyph_.isNull())
        return;
    int w = glyph_.width() / numGlyphs_, h = glyph_.height();
    if (w <= 0 || h <= 0)
        return;
    QImage grey, disabled;
    for (int i = 0; i < numGlyphs_; ++i) {
        QImage cell = glyph_.copy(i * w, 0, w, h);
        if (i == 0) {
            grey = greyImage(cell);
            disabled = disabledImage(cell, palette());
        }
        images_.push_back(masked(cell, lowerLeft(cell)));
    }
    images_.push_back(masked(grey, lowerLeft(grey)));
    images_.push_back(masked(disabled, lowerLeft(disabled)));
    update();
}

void TransparentButton::click() {
    emit clicked();
}

bool TransparentButton::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent*>(e)->shortcutId() == shortcutId_ && shortcutId_) {
        if (isEnabled())
            click();
        return true;
    }
    return QWidget::event(e);
}

void TransparentButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The button colours do not change with the state: the active group's.
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Active, QPalette::Button),
                 shadow = pal.color(QPalette::Active, QPalette::Dark),
                 highlight = pal.color(QPalette::Active, QPalette::Light),
                 dark = pal.color(QPalette::Active, QPalette::Shadow), black = Qt::black;
    const int W = width(), H = height(), bw = borderWidth_;

    switch (frameStyle_) {
        case FrameStyle::Regular: {
            Edges r{1, 1, W, H};
            if (transparent_)
                frame3D(p, r, black, black, bw);
            else
                rectangle(p, r, black, face, bw);
            break;
        }
        case FrameStyle::Indent: {
            Edges r{0, 0, W - 1, H - 1};
            if (transparent_)
                frame3D(p, r, shadow, shadow, bw);
            else
                rectangle(p, r, shadow, face, bw);
            Edges inner{1, 1, W, H};
            frame3D(p, inner, highlight, highlight, bw);
            break;
        }
        default:
            if (!transparent_)
                p.fillRect(rect(), face);
            break;
    }

    Edges f{0, 0, W, H};
    if (pressedLook_ && frameStyle_ != FrameStyle::None) {
        switch (frameStyle_) {
            case FrameStyle::Regular:
            case FrameStyle::Indent:
                if (showPressed_) {
                    frame3D(p, f, black, highlight, bw);
                    frame3D(p, f, shadow, face, bw);
                }
                break;
            case FrameStyle::Explorer:
                if (hot_ || down_) {
                    if (showPressed_)
                        frame3D(p, f, shadow, highlight, bw);
                    else
                        frame3D(p, f, highlight, shadow, bw);
                }
                break;
            case FrameStyle::Light:
                if (showPressed_)
                    frame3D(p, f, shadow, highlight, 1);
                break;
            case FrameStyle::Dark:
                frame3D(p, f, dark, face, 1);
                break;
            case FrameStyle::Mono:
                frame3D(p, f, dark, highlight, 1);
                break;
            case FrameStyle::None:
                break;
        }
    } else {
        switch (frameStyle_) {
            case FrameStyle::Regular:
                frame3D(p, f, highlight, black, bw);
                frame3D(p, f, face, shadow, bw);
                break;
            case FrameStyle::Indent:
                frame3D(p, f, shadow, highlight, bw);
                break;
            case FrameStyle::Explorer:
                if (hot_)
                    frame3D(p, f, highlight, shadow, bw);
                break;
            case FrameStyle::Light:
                frame3D(p, f, highlight, shadow, 1);
                break;
            case FrameStyle::Dark:
                frame3D(p, f, face, dark, 1);
                break;
            case FrameStyle::Mono:
                frame3D(p, f, highlight, dark, 1);
                break;
            case FrameStyle::None:
                break;
        }
    }

    // Glyph box.
    int gw = glyph_.width() / numGlyphs_;
    if (gw == 0)
        gw = glyph_.width();
    const int gh = glyph_.height();
    int gTop, gLeft;
    switch (textAlign_) {
        case TextAlign::BottomRight:
        case TextAlign::Bottom:
        case TextAlign::BottomLeft:
            gTop = spacing_;
            break;
        case TextAlign::TopLeft:
        case TextAlign::Top:
        case TextAlign::TopRight:
            gTop = H - gh - spacing_;
            break;
        default:
            gTop = (H - gh) / 2;
            break;
    }
    if (textAlign_ == TextAlign::Left)
        gLeft = W - gw - spacing_;
    else if (textAlign_ == TextAlign::Right)
        gLeft = spacing_;
    else
        gLeft = (W - gw) / 2;
    const bool shifted = pressedLook_ && showPressed_;

    if (!images_.empty()) {
        const int count = int(images_.size());
        int index = 0;
        if (numGlyphs_ == 2)
            index = isEnabled() ? 0 : 1;
        else if (numGlyphs_ >= 3)
            index = !isEnabled() ? 1 : pressedLook_ ? 2 : 0;
        if (frameStyle_ == FrameStyle::Explorer && autoGray_ && !hot_)
            index = count - 2;
        if (!isEnabled() && numGlyphs_ == 1)
            index = count - 1;
        QPoint at(gLeft + (shifted ? 1 : 0), gTop + (shifted ? 1 : 0));
        const QImage& image = images_[std::size_t(index)];
        if (!transparent_)
            p.fillRect(QRect(at, image.size()), face);
        p.drawImage(at, image);
    }

    if (!caption_.isEmpty()) {
        p.setFont(font());
        const int lineFlags = wordWrap_ ? Qt::TextWordWrap : Qt::TextSingleLine;
        QRect measured = p.boundingRect(
            QRect(0, 0, W, H), int(Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic) | lineFlags,
            caption_);
        const int tw = measured.width(), th = measured.height(), s = spacing_;
        const int gTopEdge = gTop, gBottomEdge = gTop + gh;
        int dx = 0, dy = 0;
        switch (textAlign_) {
            case TextAlign::TopLeft:
                dx = s, dy = gTopEdge - th - s;
                break;
            case TextAlign::Top:
                dx = W / 2 - tw / 2, dy = gTopEdge - th - s;
                break;
            case TextAlign::TopRight:
                dx = W - tw - s, dy = gTopEdge - th - s;
                break;
            case TextAlign::Right:
                dx = W - tw - s, dy = H / 2 - th / 2;
                break;
            case TextAlign::BottomRight:
                dx = W - tw - s, dy = gBottomEdge + s;
                break;
            case TextAlign::Bottom:
                dx = W / 2 - tw / 2, dy = gBottomEdge + s;
                break;
            case TextAlign::BottomLeft:
                dx = s, dy = gBottomEdge + s;
                break;
            case TextAlign::Left:
                dx = s, dy = H / 2 - th / 2;
                break;
            case TextAlign::Center:
                dx = W / 2 - tw / 2, dy = H / 2 - th / 2;
                break;
        }
        QRect box(dx, dy, tw, th);
        if (shifted)
            box.translate(1, 1);
        const int drawFlags =
            int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip | Qt::TextShowMnemonic) | lineFlags;
        if (isEnabled()) {
            p.setPen(pal.color(QPalette::Active, QPalette::WindowText));
            p.drawText(box, drawFlags, caption_);
        } else {
            p.setPen(highlight);
            p.drawText(box.translated(1, 1), drawFlags, caption_);
            p.setPen(shadow);
            p.drawText(box, drawFlags, caption_);
        }
    }
}

void TransparentButton::mousePressEvent(QMouseEvent* e) {
    if (!isEnabled() || tracking_)
        return;
    const QPoint pos = e->position().toPoint();
    tracking_ = true;
    if (e->button() == Qt::LeftButton)
        clickArmed_ = true;
    emit mouseDown(e->button(), pos);
    if (movable_)
        pressPos_ = pos;
    if (rect().contains(pos)) {
        held_ = pressedLook_ = true;
        repaint();
    }
    if (popupMenu_) {
        popupMenu_->exec(mapToGlobal(QPoint(0, height())));
        // The press that closed the menu is not taken for a click here.
        clickArmed_ = false;
        handleMouseUp(e->button(), pos);
    }
}

void TransparentButton::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton && clickArmed_) {
        clickArmed_ = false;
        if (rect().contains(pos))
            click();
    }
    handleMouseUp(e->button(), pos);
}

void TransparentButton::handleMouseUp(Qt::MouseButton button, QPoint pos) {
    if (!isEnabled() || !tracking_)
        return;
    tracking_ = false;
    if (down_)
        return;
    emit mouseUp(button, pos);
    held_ = pressedLook_ = false;
    repaint();
}

void TransparentButton::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    emit mouseMoved(pos);
    if (!held_)
        return;
    if (movable_)
        move(x() + pos.x() - pressPos_.x(), y() + pos.y() - pressPos_.y());
    bool inside = rect().contains(pos);
    if (inside != pressedLook_) {
        pressedLook_ = inside;
        repaint();
    }
}

void TransparentButton::enterEvent(QEnterEvent*) {
    if (!isEnabled())
        return;
    hot_ = true;
    emit mouseEntered();
    if (frameStyle_ == FrameStyle::Explorer)
        repaint();
}

void TransparentButton::leaveEvent(QEvent*) {
    if (!isEnabled())
        return;
    hot_ = false;
    emit mouseExited();
    if (frameStyle_ == FrameStyle::Explorer)
        repaint();
}

void TransparentButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled()) {
        pressedLook_ = held_ = tracking_ = hot_ = false;
        clickArmed_ = false;
        repaint();
    }
    QWidget::changeEvent(e);
}

}  // namespace brevant

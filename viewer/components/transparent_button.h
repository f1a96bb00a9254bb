// A windowless push button that draws a glyph (a strip of up to four cells)
// and an optional caption over whatever lies beneath it, with one of seven
// frame styles, hot tracking, a grey look for the inactive state, a latched
// down state, an optional drop-down menu and an optional mode in which the
// user drags it within its parent.
#pragma once

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace brevant {

class TransparentButton : public QWidget {
    Q_OBJECT

public:
    enum class FrameStyle { Regular, Indent, Explorer, None, Light, Dark, Mono };
    enum class TextAlign {
        TopLeft,
        Top,
        TopRight,
        Right,
        BottomRight,
        Bottom,
        BottomLeft,
        Left,
        Center
    };

    explicit TransparentButton(QWidget* parent = nullptr);

    bool autoGray() const { return autoGray_; }
    void setAutoGray(bool on);
    int borderWidth() const { return borderWidth_; }
    void setBorderWidth(int width);
    QString caption() const { return caption_; }
    void setCaption(const QString& text);
    bool isDown() const { return down_; }
    void setDown(bool down);
    FrameStyle frameStyle() const { return frameStyle_; }
    void setFrameStyle(FrameStyle style);
    const QImage& glyph() const { return glyph_; }
    // Takes a copy; a glyph whose width is a multiple of its height sets
    // the number of cells (1 when that exceeds 4).
    void setGlyph(const QImage& glyph);
    int numGlyphs() const { return numGlyphs_; }
    void setNumGlyphs(int n);
    QMenu* popupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    bool showPressed() const { return showPressed_; }
    void setShowPressed(bool on);
    int spacing() const { return spacing_; }
    void setSpacing(int spacing);
    TextAlign textAlign() const { return textAlign_; }
    void setTextAlign(TextAlign align);
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool on);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool on);
    bool isMovable() const { return movable_; }
    void setMovable(bool on) { movable_ = on; }

    // The state the look follows.
    bool isHot() const { return hot_; }
    bool isPressedLook() const { return pressedLook_; }
    // The prepared images: the cells, then the grey and the disabled image,
    // each with its background made transparent.
    const std::vector<QImage>& images() const { return images_; }

    void click();

signals:
    void clicked();
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseUp(Qt::MouseButton button, QPoint pos);
    void mouseMoved(QPoint pos);
    void mouseEntered();
    void mouseExited();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void glyphChanged();
    void rebuildImages();
    void handleMouseUp(Qt::MouseButton button, QPoint pos);

    bool autoGray_ = true;
    int borderWidth_ = 1;
    QString caption_;
    int shortcutId_ = 0;
    bool down_ = false;
    FrameStyle frameStyle_ = FrameStyle::Explorer;
    QImage glyph_;
    int numGlyphs_ = 1;
    QPointer<QMenu> popupMenu_;
    bool showPressed_ = true;
    int spacing_ = 2;
    TextAlign textAlign_ = TextAlign::Center;
    bool transparent_ = true;
    bool wordWrap_ = false;
    bool movable_ = false;

    std::vector<QImage> images_;
    bool tracking_ = false;
    bool held_ = false;
    bool pressedLook_ = false;
    bool hot_ = false;
    bool clickArmed_ = false;
    QPoint pressPos_;
};

}  // namespace brevant

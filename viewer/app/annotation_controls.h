// The annotation controls of a page view: icons (pictures of a note in the
// annotation's colour) and notes (TfrAnnotation) placed on the page surface
// at the annotations' page positions. The list owns its controls: removing
// a control destroys it. Controls are named by the main window: "S", "P",
// the page, "_", then "frI" (icon) or "frA" (note), a counter and "_"; an
// icon's own note adds "Kid". A control's tag is the index in the list of
// its partner (an icon's note, a note's icon), or -1.
//
// Positions follow the view: scrolling moves every control by the change of
// offset, a zoom change scales their page positions.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace brevant {

class AnnotationControls;
class TfrAnnotation;

// What the controls need of the page view they lie on.
class AnnotationSurface {
public:
    virtual ~AnnotationSurface() = default;
    // The widget the controls are children of.
    virtual QWidget* annotationParent() = 0;
    // The page pixel at the surface's top-left corner.
    virtual QPoint annotationOffset() const = 0;
    // The rendered page size.
    virtual QSize annotationExtent() const = 0;
    // Whether the page view is set visible (not whether it is on screen).
    virtual bool annotationViewVisible() const = 0;
};

// The annotation icon picture: a note with a white title band around (3, 3)
// and a white body around (10, 12) on a transparent ground.
const QImage& annotationIconPicture();

// Fills the 4-connected area of the colour at (x, y) with colour; nothing
// when the point lies outside the image.
void floodFill(QImage& image, int x, int y, QRgb colour);

// The picture of an annotation icon.
class AnnotationIcon : public QLabel {
    Q_OBJECT

public:
    AnnotationIcon(AnnotationControls& controls, QWidget* parent);
    int tag = -1;
    int type = 0;  // field 8 of the record

    void AnnotIconDblClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    AnnotationControls& controls_;
    bool dragging_ = false;
    QPoint grab_;  // mouse on the screen minus the icon's top-left
};

class AnnotationControls {
public:
    explicit AnnotationControls(std::unique_ptr<AnnotationSurface> surface);
    ~AnnotationControls();
    AnnotationControls(const AnnotationControls&) = delete;
    AnnotationControls& operator=(const AnnotationControls&) = delete;

    // An icon for the annotation record (its annotationInStr) unless the
    // record is empty, a control of that name exists or the view is hidden.
    // With ownNote it gets its note (name + "Kid"), shown when the record's
    // type is 1, and is itself shown only for type 0; otherwise it is shown
    // as visible says. scale: zoom percent / 100.
    void CreateAnnotationIcon(const QString& name, const QString& record, bool ownNote,
                              double scale, bool visible);
    // A note for the record under the same conditions; its size is the
    // record's size divided by scale.
    void CreateAnnotationNote(const QString& name, const QString& record, double scale,
                              bool visible);
    bool HasAnnotationControl(const QString& name) const;
    // Shows, enables and raises every control whose name begins with prefix.
    void ShowAnnotationControls(const QString& prefix);
    // Destroys every control whose name begins with prefix ("" for all).
    void RemoveAnnotationControls(const QString& prefix);
    void HideAnnotationControls();
    // Shows the enabled controls of that page ("SP<page>_...").
    void ShowPageAnnotations(int page);
    // Makes the note the icon's own: each tag names the other. Only an
    // icon that has no note yet.
    void linkIconAndNote(const QString& iconName, const QString& noteName);
    // Moves every control's page position by factor.
    void ScaleAnnotations(double factor);
    // The view's offset changed: every control moves by the change.
    void offsetChanged(QPoint offset);

    int count() const { return int(controls_.size()); }
    // The control at index, or null.
    QWidget* control(int index) const;
    QWidget* control(const QString& name) const;
    int indexOf(const QWidget* control) const;

private:
    // The surface position of a page position: outside the page it lies 10
    // pixels before the page or 5 past it.
    QPoint placeOnSurface(long long x, long long y) const;
    void add(QWidget* control);
    bool mayCreate(const QString& name, const QString& record) const;

    std::unique_ptr<AnnotationSurface> surface_;
    std::vector<QWidget*> controls_;
    QPoint placedOffset_;
};

}  // namespace brevant

// TfrAnnotation: one annotation note on the page surface: a caption strip in
// the annotation's colour with the close picture, the note text and a grip
// that resizes it. The page view creates, names, places and fills it
// (annotation_controls.h); the note itself can be moved, resized, raised and
// closed. Nothing of this reaches the document.
#pragma once

#include <QFrame>
#include <QPoint>

class QLabel;
class QPlainTextEdit;

namespace brevant {

class AnnotationControls;
class TPntPanelG;

class TfrAnnotation : public QFrame {
    Q_OBJECT

public:
    static constexpr int kDefaultWidth = 248;
    static constexpr int kDefaultHeight = 185;
    static constexpr int kMinimumSize = 30;

    // controls: the list the note belongs to (its tag indexes it).
    TfrAnnotation(AnnotationControls& controls, QWidget* parent = nullptr);

    // The index of the note's icon in the list, or -1.
    int tag = -1;

    QWidget* Panel1;     // the black top strip
    QLabel* pCaption;    // the title on the annotation's colour
    QLabel* Image2;      // the close picture
    QWidget* Panel2;     // white, holding the text
    QPlainTextEdit* mText;
    QWidget* Panel3;     // the bottom strip
    QLabel* Image3;      // the resize grip
    // Under the parts over the whole note: draws the note's outline.
    TPntPanelG* PntPanelG1;

    // Caption colour and the text colour that reads on it.
    void setCaptionColours(const QColor& background, const QColor& text);

    void pCaptionMouseDown(QPoint screen);
    void pCaptionMouseMove(QPoint screen);
    void pCaptionMouseUp();
    void Panel4MouseDown(QPoint screen);
    void Panel4MouseMove(QPoint screen);
    void Panel4MouseUp();
    // Close: hides the note and shows its icon where the note's corner was.
    void Image2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    AnnotationControls& controls_;
    bool moving_ = false;
    QPoint moveGrab_;    // mouse on the screen minus the note's top-left
    bool resizing_ = false;
    QPoint resizeGrab_;  // mouse on the screen minus the note's bottom-right
};

}  // namespace brevant

// TfPalm: the device preview. A borderless window shaped like the handheld
// (239 by 361) with the rendered page inside its 160 by 160 screen; the
// user drags the page within the screen or scrolls it with the wheel, drags
// the window by its body, and closes it with the close button or Esc.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <functional>
#include <memory>

#include "platform/gdi/gdi.h"

class QAction;

namespace brevant {

class RetainedSurface;
class TCoolForm;
class TransparentButton;
class TVistrel;

// A windowless surface painted by its handler through a device context;
// what the handler leaves undrawn shows the parent's colour.
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget* parent = nullptr);
    ~TPaintBox() override;

    std::function<void(win::HDC dc)> OnPaint;
    std::function<void(QMouseEvent* event)> OnMouseDown, OnMouseMove, OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<RetainedSurface> surface_;
};

// The handheld's body of the program's resources ("device.gif"),
// transparent outside; its outline is the resource "device.rgn" in the
// "Mask2" form.
QImage devicePicture();

class TfPalm : public QDialog {
    Q_OBJECT

public:
    // The page is drawn by the engine of the main window.
    explicit TfPalm(TVistrel& engine, QWidget* parent = nullptr);

    static constexpr int kWidth = 239, kHeight = 361;
    static constexpr int kScreenSize = 160;
    // Pixels the page moves per wheel step.
    static constexpr int kWheelStep = 15;

    TCoolForm* CoolForm1;
    TransparentButton* TransparentButton1;  // close
    QWidget* Panel1;                        // the screen
    TPaintBox* PaintBox1;                   // the page, sized by the main window to the render
    QAction* Action1;                       // Esc

protected:
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void FormShow();
    void PaintBox1Paint(win::HDC dc);
    void PntPanelG1MouseDown(QMouseEvent* event);
    void PntPanelG1MouseMove(QMouseEvent* event);
    void PntPanelG1MouseUp(QMouseEvent* event);
    // Keeps the screen covered where the page can cover it.
    void clampTop(long long top);
    void clampLeft(long long left);

    TVistrel& engine_;
    bool dragging_ = false;
    QPoint grab_;
};

}  // namespace brevant

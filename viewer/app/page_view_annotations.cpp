// The page view's annotation control list over its own surface.
#include "viewer/app/annotation_controls.h"
#include "viewer/app/page_view_frame.h"
#include "viewer/components/paint_panels.h"

namespace brevant {
namespace {

class FrameSurface : public AnnotationSurface {
public:
    explicit FrameSurface(TfrScroll& frame) : frame_(frame) {}
    QWidget* annotationParent() override { return frame_.PntPanel1; }
    QPoint annotationOffset() const override { return frame_.GetOffset(); }
    QSize annotationExtent() const override { return frame_.pageExtent(); }
    bool annotationViewVisible() const override { return !frame_.isHidden(); }

private:
    TfrScroll& frame_;
};

}  // namespace

std::unique_ptr<AnnotationControls> makeFrameAnnotations(TfrScroll& frame) {
    return std::make_unique<AnnotationControls>(std::make_unique<FrameSurface>(frame));
}

}  // namespace brevant

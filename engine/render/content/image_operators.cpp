// Image drawing shared by "Do" and inline images, the placeholder box, and
// the inline-image operators "BI", "ID" and "EI".
#include <memory>
#include <new>

#include "engine/constants/keyword_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/content_loop.h"
#include "engine/render/content/image_dict.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/kept_image_rows.h"
#include "engine/render/content/operators.h"
#include "engine/render/content/progress_sink.h"
#include "engine/render/content/raster_image.h"
#include "engine/render/raster/output_device.h"
#include "engine/render/raster/raster_settings.h"
#include "engine/render/raster/work_meter.h"
#include "platform/files/win_time.h"

namespace vistrel {

ImageShow imageShowMode() {
    const IntegerSetting s = readRasterSetting(settings::Quality, settings::ImageShowMode);
    if (!s.present)
        return ImageShow::Placeholder;
    if (!s.knownKind || s.value == 0)
        return ImageShow::Nothing;
    return s.value == 1 ? ImageShow::Placeholder : ImageShow::Image;
}

namespace {

// Reports progress over the rows of one image: a start, a percentage at
// most every 500 ms when it changed, a stop.
class RowProgress {
public:
    RowProgress(ProgressSink* sink, std::int32_t height) : sink_(sink), height_(height) {
        if (sink_)
            sink_->startProgressIndicator();
    }
    ~RowProgress() {
        if (sink_)
            sink_->stopProgressIndicator();
    }
    RowProgress(const RowProgress&) = delete;
    RowProgress& operator=(const RowProgress&) = delete;

    void beforeRow(std::int32_t row) {
        if (!sink_)
            return;
        const win::DWORD now = win::GetTickCount();
        if (lastTime_ < win::DWORD(now - 500)) {
            const auto p = std::uint16_t(std::uint32_t(row) * 100u / std::uint32_t(height_ - 1));
            if (p != lastPercentage_) {
                sink_->setProgressIndicator(p);
                lastPercentage_ = p;
                lastTime_ = now;
            }
        }
    }

private:
    ProgressSink* sink_;
    std::int32_t height_;
    win::DWORD lastTime_ = 0;
    std::uint16_t lastPercentage_ = 0;
};

}  // namespace

void drawImage(ContentInterpreter& in, ImageDict& image, bool withProgress) {
    OutputDevice* device = in.device();
    ColorSpace* space = image.colorSpace();
    if (!device || !space)
        return;
    std::unique_ptr<DrawableBase> made = device->NewImage();
    auto* raster = dynamic_cast<RasterImage*>(made.get());
    if (!raster)
        return;
    const std::int32_t components = space->outputComponents();
    if (components < 1)
        return;
    // A mask is painted in the fill colour, which may be a pattern (not
    // painted).
    if (image.imageMask() && in.graphicsState().fillPattern)
        return;
    const std::int32_t bits = space->outputBitsPerPixel(image.bitsPerComponent()) / components;
    const Matrix& m = in.deviceMatrix();
    const double matrix[6] = {m.a, m.b, m.c, m.d, m.e, m.f};
    raster->setStencil(image.imageMask());
    const std::size_t rowSize =
        raster->begin(image.width(), image.height(), components, bits, 0, matrix);
    if (rowSize == 0)
        return;

    const std::int32_t height = image.height();
    const std::uint64_t rowSamples = std::uint64_t(image.width()) * std::uint64_t(components);
    const bool rowProgress = withProgress && in.progressSink() && progressWanted() &&
                             std::int64_t(image.width()) * (std::int64_t(height) - 1) > 4000;
    // An image the keeper drew in full under this matrix is copied from
    // that drawing, its rows charged and their progress reported as reading
    // them would: only where no row would find the work spent.
    KeptImageRows* keeper = KeptImageRows::current();
    ImageXObject* kept =
        keeper && keeper->keepsDrawings() && !image.imageMask() && !raster->convertsRows()
            ? dynamic_cast<ImageXObject*>(&image)
            : nullptr;
    if (kept) {
        const RasterImage* drawn = keeper->drawing(*kept, matrix, raster->rotationMode());
        std::uint64_t work = 0;
        if (drawn && !__builtin_mul_overflow(rowSamples, std::uint64_t(height), &work) &&
            in.workDone() <= WorkMeter::kBudget && work <= WorkMeter::kBudget - in.workDone() &&
            raster->copyPixelsFrom(*drawn)) {
            in.chargeWork(work);
            if (rowProgress) {
                RowProgress progress(in.progressSink(), height);
                for (std::int32_t y = 0; y < height; ++y)
                    progress.beforeRow(y);
            }
            raster->Draw(IntPoint(0, 0), *device);
            return;
        }
    }

    const std::size_t bufferSize = std::max(image.bufferSize(), rowSize);
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[bufferSize]);
    std::int32_t rowsRead = 0;
    if (row && image.openRows()) {
        std::unique_ptr<RowProgress> progress;
        if (rowProgress)
            progress.reset(new (std::nothrow) RowProgress(in.progressSink(), height));
        // Rows the image needs in no other form are read where the image
        // keeps them, as putRow leaves them as they are.
        const bool inPlace = !raster->convertsRows();
        for (std::int32_t y = 0; y < height; ++y) {
            // Once the page's work is spent no further row is read: the image
            // is drawn as one whose data ends there.
            in.chargeWork(rowSamples);
            if (in.workSpent())
                break;
            if (progress)
                progress->beforeRow(y);
            if (std::uint8_t* read = inPlace                    ? image.readRowInPlace(row.get())
                                     : image.readRow(row.get()) ? row.get()
                                                                : nullptr) {
                raster->putRow(read, image.outBytesPerRow());
                ++rowsRead;
            } else if (image.rowsEnded()) {
                break;  // a row that cannot be read is skipped, but none comes after
            }
        }
    }
    row.reset();
    image.closeRows();
    if (kept && rowsRead == height && !in.workSpent())
        keeper->keepDrawing(*kept, matrix, *raster);
    // An image of which no row could be read (a filter the engine does not
    // read, no data) draws nothing rather than an empty box.
    if (rowsRead > 0) {
        if (KeptImage* keeper = in.imageKeeper()) {
            ++keeper->count;
            // Copied before drawing: a clipped draw changes the image.
            keeper->image = rowsRead == image.height() ? raster->clone() : nullptr;
            keeper->ctm = in.graphicsState().ctm;
            keeper->deviceMatrix = m;
        }
        raster->Draw(IntPoint(0, 0), *device);
    }
}

void drawImagePlaceholder(ContentInterpreter& in) {
    OutputDevice* device = in.device();
    if (!device)
        return;
    const Matrix& m = in.deviceMatrix();
    const IntPoint p00(roundCoord(m.e), roundCoord(m.f));
    const IntPoint p10(roundCoord(m.a + m.e), roundCoord(m.b + m.f));
    const IntPoint p01(roundCoord(m.c + m.e), roundCoord(m.d + m.f));
    const IntPoint p11 = p10 + p01 - p00;

    std::unique_ptr<DeviceColor> saved = device->NewColor();
    std::unique_ptr<DeviceColor> black = device->NewColor();
    if (!saved || !black)
        return;
    device->GetStrokeColor(*saved);
    const std::vector<std::int32_t> dashes = device->GetLineStyle().dashes;
    const double width = device->GetLineWidth();

    device->SetDash({}, 0);
    black->SetRgb(0, 0, 0);
    device->SetStrokeColor(*black);
    device->SetLineWidth(1.0);
    device->Line(p00, p10);
    device->Line(p10, p11);
    device->Line(p11, p01);
    device->Line(p01, p00);
    device->Line(p00, p11);
    device->Line(p10, p01);

    device->SetLineWidth(width);
    device->SetStrokeColor(*saved);
    device->SetDash(dashes, 0);
}

void installImageFactories() {
    setImageXObjectFactory(makeImageXObject);
    setImageFactory(newRasterImage);
}

std::int32_t opBI(ContentInterpreter& in) {
    in.setMode(kStateInlineImage);
    // Markers under the dictionary's keys and values.
    in.operands().push(ObjectRef::share(&keywords::BI));
    in.operands().push(ObjectRef::share(&keywords::BI));
    return kStatusDone;
}

std::int32_t opID(ContentInterpreter& in) {
    const ImageShow show = imageShowMode();
    // Read whatever the setting says, so that the data is consumed.
    Ref<InlineImage> image = parseInlineImage(in);
    if (!image)
        return kStatusWrongOperand;
    // Its rows are decoded already, drawn or not.
    if (const ColorSpace* space = image->colorSpace())
        in.chargeWork(std::uint64_t(image->width()) * std::uint64_t(image->height()) *
                      std::uint64_t(std::max(space->outputComponents(), 1)));
    if (show == ImageShow::Nothing)
        return kStatusDone;
    if (!image->isValid())
        return kStatusWrongOperand;
    if (show == ImageShow::Placeholder)
        drawImagePlaceholder(in);
    else
        drawImage(in, *image, false);
    return kStatusDone;
}

std::int32_t opEI(ContentInterpreter& in) {
    in.setMode(kStatePage);
    return kStatusDone;
}

}  // namespace vistrel

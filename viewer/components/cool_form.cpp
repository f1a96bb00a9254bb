#include "viewer/components/cool_form.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWindow>

#include <cstdint>
#include <cstring>
#include <vector>

namespace brevant {
namespace {

constexpr std::size_t kHeaderSize = sizeof(win::RGNDATAHEADER);
static_assert(kHeaderSize == 32 && sizeof(win::RECT) == 16, "region data as GetRegionData gives it");

// What ExtCreateRegion relies on: a whole header of the rectangle type that
// says so, and every rectangle it counts inside the block.
bool isRegionData(ByteSpan data) {
    if (data.size() < kHeaderSize)
        return false;
    if (le32At(data, 0) != kHeaderSize || le32At(data, 4) != win::RDH_RECTANGLES)
        return false;
    return le32At(data, 8) <= (data.size() - kHeaderSize) / sizeof(win::RECT);
}

// Region data in a buffer aligned for the header.
std::vector<std::uint32_t> regionData(win::HRGN region) {
    const win::DWORD size = win::GetRegionData(region, 0, nullptr);
    if (size < kHeaderSize)
        return {};
    std::vector<std::uint32_t> buffer((size + 3) / 4);
    if (win::GetRegionData(region, size, reinterpret_cast<win::RGNDATA*>(buffer.data())) != size)
        return {};
    return buffer;
}

}  // namespace

void TRegionType::setRegion(win::HRGN region) {
    if (region_ && region_ != region)
        win::DeleteObject(region_);
    region_ = region;
}

QRegion regionToQRegion(win::HRGN region) {
    QRegion result;
    const std::vector<std::uint32_t> data = regionData(region);
    if (data.empty())
        return result;
    win::RGNDATAHEADER header;
    std::memcpy(&header, data.data(), kHeaderSize);
    const auto* rects = reinterpret_cast<const std::uint8_t*>(data.data()) + kHeaderSize;
    for (win::DWORD i = 0; i < header.nCount; ++i) {
        win::RECT r;
        std::memcpy(&r, rects + i * sizeof r, sizeof r);
        result += QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    }
    return result;
}

void SetWindowRgn(QWidget* window, win::HRGN region) {
    if (!window)
        return;
    if (region) {
        window->setMask(regionToQRegion(region));
    } else {
        window->clearMask();
    }
}

TCoolForm::TCoolForm(QWidget* parent) : QWidget(nullptr), mask_(*this) {
    if (parent)
        SetParent(parent);
}

TCoolForm::~TCoolForm() = default;

void TCoolForm::SetParent(QWidget* parent) {
    if (QWidget* old = parentWidget())
        old->removeEventFilter(this);
    setParent(parent);
    if (!parent)
        return;
    if (parent->isWindow())
        parent->setWindowFlag(Qt::FramelessWindowHint, true);
    // Aligned to the parent's client area, and kept so.
    parent->installEventFilter(this);
    resize(parent->size());
    setTop(0);
    setLeft(0);
}

void TCoolForm::setTop(int) {
    move(x(), 0);
}

void TCoolForm::setLeft(int) {
    move(0, y());
}

void TCoolForm::setPicture(const QImage& picture) {
    picture_ = picture;
    // The picture's change only lets the region go; the window keeps the
    // outline it has, and the control neither repaints nor resizes here.
    mask_.setRegion(nullptr);
}

void TCoolForm::readMask2(ByteSpan block) {
    mask_.setRegion(nullptr);
    if (block.size() < 4)
        return;
    const auto count = static_cast<std::int32_t>(le32At(block, 0));
    if (count <= 0)
        return;  // 0: no region; a negative count is malformed
    const ByteSpan data = block.subspan(4);
    if (std::size_t(count) > data.size() || !isRegionData(data.first(std::size_t(count))))
        return;
    std::vector<std::uint32_t> buffer((std::size_t(count) + 3) / 4);
    std::memcpy(buffer.data(), data.data(), std::size_t(count));
    const win::HRGN region = win::ExtCreateRegion(
        nullptr, win::DWORD(count), reinterpret_cast<const win::RGNDATA*>(buffer.data()));
    if (!region)
        return;
    mask_.setRegion(region);
    SetWindowRgn(parentWidget(), region);
}

Bytes TCoolForm::writeMask2() const {
    Bytes out;
    const win::HRGN region = mask_.region();
    const std::vector<std::uint32_t> data = region ? regionData(region) : std::vector<std::uint32_t>{};
    const std::size_t size = data.empty() ? 0 : win::GetRegionData(region, 0, nullptr);
    putLe32(out, std::uint32_t(size));
    putBytes(out, ByteSpan(reinterpret_cast<const std::uint8_t*>(data.data()), size));
    return out;
}

void TCoolForm::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void TCoolForm::mousePressEvent(QMouseEvent* event) {
    QWidget* form = parentWidget();
    if (event->button() != Qt::LeftButton || !form) {
        event->ignore();
        return;
    }
    // The window system moves the window while the button is held when it
    // can; otherwise the window follows the mouse here.
    if (QWindow* handle = form->windowHandle(); handle && form->isWindow() &&
                                                handle->startSystemMove())
        return;
    dragging_ = true;
    grab_ = event->globalPosition().toPoint() - form->pos();
}

void TCoolForm::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && parentWidget())
        parentWidget()->move(event->globalPosition().toPoint() - grab_);
}

void TCoolForm::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
}

bool TCoolForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(0, 0, parentWidget()->width(), parentWidget()->height());
    return QWidget::eventFilter(watched, event);
}

}  // namespace brevant

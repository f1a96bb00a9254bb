// The engine library itself (libvistrel.so) registered for one test, the
// fixtures it reads, views put through its State node, and the page
// vistrel-host renders for the same view, the reference the viewer's pixels
// are compared with.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/com/bstr.h"
#include "tests/viewer/registered_engine.h"
#include "viewer/app/vistrel_binding.h"

namespace brevant::testing {

// "" when every pixel of the image is the expected one; otherwise the first
// that is not and how many are not.
inline std::string differences(const QImage& image, const std::function<QRgb(int x, int y)>& expected) {
    std::string first;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb got = image.pixel(x, y) | 0xFF000000u, want = expected(x, y) | 0xFF000000u;
            if (got == want)
                continue;
            if (count++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "at %d,%d %08X instead of %08X", x, y, got, want);
                first = text;
            }
        }
    }
    return count ? first + " (" + std::to_string(count) + " pixels)" : "";
}


class RealEngineTest : public RegisteredEngineTest {
protected:
    RealEngineTest() : RegisteredEngineTest(VISTREL_LIBRARY) {}

    static QString fixture(const char* name) {
        return QString::fromUtf8(VISTREL_FIXTURE_DIR "/") + QString::fromUtf8(name);
    }

    // Puts page and zoom (1.0 = 100 %) as the engine's view, at offset 0, 0
    // with the default memory usage and quality.
    static void putView(TVistrel& vistrel, int page, double zoom) {
        win::ComPtr<ITreeNode> state = vistrel.State();
        ASSERT_TRUE(state);
        char text[64];
        std::snprintf(text, sizeof text, "0,0,%d,%.6f,4,4,0", page, zoom);
        const std::u16string wide(text, text + std::char_traits<char>::length(text));
        win::BSTR bstr = win::SysAllocString(wide.c_str());
        ASSERT_EQ(state->put_stateInStr(bstr), win::S_OK);
        win::SysFreeString(bstr);
        vistrel.setState(state.get());
    }

    // The page as vistrel-host renders it through the engine's PNG output,
    // or a null image when it cannot.
    QImage hostPage(const QString& file, int page, double zoom) const {
        const std::string png = (home.path() / "host.png").string();
        char arguments[64];
        std::snprintf(arguments, sizeof arguments, " --page %d --zoom %.6f --png ", page, zoom);
        const std::string command = std::string(VISTREL_HOST) + " render '" + file.toStdString() +
                                    "'" + arguments + "'" + png + "' > /dev/null";
        if (std::system(command.c_str()) != 0)
            return {};
        return QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
    }
};

}  // namespace brevant::testing

// Drawing an image XObject or inline image on the interpreter's device: as
// the image itself through a RasterImage, or as the crossed placeholder box,
// as "Quality"/"ImageShowMode" says.
#pragma once

namespace vistrel {

class ContentInterpreter;
class ImageDict;

// What "ImageShowMode" asks for, read each time an image is met: missing or
// 1 the placeholder, 0 or a value of an unknown kind nothing, any other
// value the image.
enum class ImageShow { Nothing, Placeholder, Image };
ImageShow imageShowMode();

// Streams the image's rows into a RasterImage of the device and draws it.
// With progress (image XObjects), an image of more than 4000 samples in
// width x (height - 1) reports to the interpreter's sink.
void drawImage(ContentInterpreter& interpreter, ImageDict& image, bool withProgress);

// The device image of the unit square as a box with both diagonals, black,
// solid and one pixel wide; the device's stroke state is put back after.
void drawImagePlaceholder(ContentInterpreter& interpreter);

// Engine start-up: image streams become image XObjects when the document
// reads them, and output devices make RasterImages.
void installImageFactories();

}  // namespace vistrel

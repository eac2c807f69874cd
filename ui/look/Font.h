#pragma once

#include <QFont>

/// The pixel font, Departure Mono, compiled into the program when the build found it.
namespace Font {

/// Makes the pixel font available to the process; safe to call any number of times.
void registerFont();

/// True once the pixel font is available.
bool pixelFontAvailable();

/// The pixel font at a size in pixels, or the system's monospaced font at that size when it is missing.
QFont pixel(double pixelSize);

} // namespace Font

#pragma once

// The program's own picture: a dark tile with a receive arrow (down, left) and a send arrow
// (up, right), designed on a 16 x 16 grid. The tray shows it (the receive arrow lit while
// bytes arrive); the desktop's icon theme gets it as PNGs of the usual sizes and as SVG,
// both made from the same shapes.

#include <QByteArray>
#include <QImage>

class QPainter;

// Paints the picture onto a 16 x 16 design grid (scale the painter for other sizes).
void PaintProgramPicture(QPainter& painter, bool receiving);

// The idle picture, `size` pixels square, on a transparent background.
QImage ProgramPicture(int size);

// The idle picture as an SVG document.
QByteArray ProgramPictureSvg();

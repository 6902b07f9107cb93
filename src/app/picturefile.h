// Saving a picture that a window draws, as a PNG image or an SVG drawing: one painting
// function makes both, so that the two files show the same thing.
#pragma once

#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QPainter;

namespace quirelle::pictures {

// Paints the picture onto a painter whose device is as large as the picture.
using Painter = std::function<void(QPainter&)>;

enum class Kind { Png, Svg };

// The kind a file name asks for by its extension (letter case ignored); nothing for another.
std::optional<Kind> kindOf(const QString& fileName);

// Writes the picture, `size` pixels, to `fileName` as its extension asks; `title` names an SVG
// drawing. The file is replaced whole or not at all. False when it cannot be written.
bool write(const QString& fileName, QSize size, const QString& title, const Painter& paint);

// "Save Picture...": asks for the file with the Save dialog, then writes the picture there. A
// name without an extension is saved as PNG; another extension, or a file that cannot be
// written, is refused with a message.
void saveWithDialog(QSize size, const QString& title, const Painter& paint);

} // namespace quirelle::pictures

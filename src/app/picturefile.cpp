// PNG and SVG files from one painting function.
#include "app/picturefile.h"

#include "app/services.h"
#include "db/project.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace quirelle::pictures {

namespace {

// Both kinds are drawn at the same resolution, so that text takes the same room in either.
constexpr int Dpi = 96;

QByteArray pngData(QSize size, const Painter& paint)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = qRound(Dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return data;
}

QByteArray svgData(QSize size, const QString& title, const Painter& paint)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setResolution(Dpi);
    generator.setTitle(title);
    {
        QPainter painter(&generator);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        paint(painter);
    }
    return data;
}

} // namespace

std::optional<Kind> kindOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Kind::Png;
    if (suffix == QLatin1String("svg"))
        return Kind::Svg;
    return std::nullopt;
}

bool write(const QString& fileName, QSize size, const QString& title, const Painter& paint)
{
    const std::optional<Kind> kind = kindOf(fileName);
    if (!kind || size.isEmpty())
        return false;
    const QByteArray data = *kind == Kind::Png ? pngData(size, paint) : svgData(size, title, paint);
    if (data.isEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(data);
    return file.commit();
}

void saveWithDialog(QSize size, const QString& title, const Painter& paint)
{
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Save Picture");
    // Beside the project, the user's own folder, rather than the program's.
    settings.initialDir = QFileInfo(project().projectFilePath()).absolutePath();
    settings.filter = QStringLiteral("PNG image or SVG drawing (*.png *.svg)|*.png;*.svg");
    const std::optional<QString> chosen = services::showSave(settings);
    if (!chosen || chosen->trimmed().isEmpty())
        return;
    QString fileName = *chosen;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".png");
    if (!kindOf(fileName)) {
        services::MsgBox(QStringLiteral("A picture is saved as a PNG image (.png) or an SVG "
                                        "drawing (.svg): ") +
                             fileName,
                         services::Icon::Critical);
        return;
    }
    if (!write(fileName, size, title, paint))
        services::MsgBox(QStringLiteral("The picture could not be saved to ") + fileName,
                         services::Icon::Critical);
}

} // namespace quirelle::pictures

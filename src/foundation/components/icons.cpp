#include "icons.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace kiv {

namespace {

// What the toolkit has in place of a themed icon, so that no button is bare.
QStyle::StandardPixmap standardFor(const QString &name)
{
    static const QHash<QString, QStyle::StandardPixmap> standard{
        {QStringLiteral("document-new"), QStyle::SP_FileIcon},
        {QStringLiteral("edit-delete"), QStyle::SP_TrashIcon},
        {QStringLiteral("document-save"), QStyle::SP_DialogSaveButton},
        {QStringLiteral("edit-undo"), QStyle::SP_DialogCancelButton},
        {QStringLiteral("help-browser"), QStyle::SP_DialogHelpButton},
        {QStringLiteral("system-log-out"), QStyle::SP_DialogCloseButton},
        {QStringLiteral("go-first"), QStyle::SP_MediaSkipBackward},
        {QStringLiteral("go-previous"), QStyle::SP_ArrowLeft},
        {QStringLiteral("go-next"), QStyle::SP_ArrowRight},
        {QStringLiteral("go-last"), QStyle::SP_MediaSkipForward},
        {QStringLiteral("go-down"), QStyle::SP_ArrowDown},
        {QStringLiteral("go-up"), QStyle::SP_ArrowUp},
        {QStringLiteral("document-open"), QStyle::SP_DialogOpenButton},
    };
    return standard.value(name, QStyle::SP_FileDialogContentsView);
}

void paintIcon(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // The tile.
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x43, 0xa0, 0x47));
    tile.setColorAt(1, QColor(0x1b, 0x5e, 0x20));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(s * 0.03, s * 0.03, s * 0.94, s * 0.94), s * 0.18, s * 0.18);
    // Steam.
    QPen steam(QColor(255, 255, 255, 210), std::max(1.0, s * 0.055), Qt::SolidLine,
               Qt::RoundCap);
    p.setPen(steam);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const qreal x = s * (0.34 + 0.16 * i);
        QPainterPath wave;
        wave.moveTo(x, s * 0.44);
        wave.cubicTo(x - s * 0.07, s * 0.36, x + s * 0.07, s * 0.28, x, s * 0.19);
        p.drawPath(wave);
    }
    // The bowl, with its rim and foot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xf8, 0xe1));
    QPainterPath bowl;
    bowl.moveTo(s * 0.14, s * 0.52);
    bowl.lineTo(s * 0.86, s * 0.52);
    bowl.cubicTo(s * 0.86, s * 0.72, s * 0.70, s * 0.82, s * 0.50, s * 0.82);
    bowl.cubicTo(s * 0.30, s * 0.82, s * 0.14, s * 0.72, s * 0.14, s * 0.52);
    p.drawPath(bowl);
    p.setBrush(QColor(0xff, 0xa0, 0x00));
    p.drawRoundedRect(QRectF(s * 0.11, s * 0.49, s * 0.78, s * 0.06), s * 0.03, s * 0.03);
    p.setBrush(QColor(0xff, 0xf8, 0xe1));
    p.drawRoundedRect(QRectF(s * 0.38, s * 0.82, s * 0.24, s * 0.05), s * 0.02, s * 0.02);
}

} // namespace

QImage ApplicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintIcon(painter, size);
    return image;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
    return icon;
}

QIcon CommandIcon(const QString &name)
{
    // A theme icon the toolkit cannot draw (a scalable one without the SVG
    // plugin) would leave the button bare: only one that draws counts.
    const QIcon themed = QIcon::fromTheme(name);
    if (!themed.isNull() && !themed.pixmap(22, 22).isNull())
        return themed;
    QIcon bundled;
    for (const char *size : {"22x22", "32x32"}) {
        const QString file = QStringLiteral(":/icons/kiv/%1/%2.png").arg(QLatin1String(size), name);
        if (QFile::exists(file))
            bundled.addFile(file);
    }
    if (!bundled.isNull())
        return bundled;
    return QApplication::style()->standardIcon(standardFor(name));
}

void InstallIcons()
{
    QApplication::setWindowIcon(ApplicationIcon());
}

} // namespace kiv

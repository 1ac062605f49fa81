#include "ui/Icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QtMath>

#include "ui/Commands.h"

namespace icons {

namespace {

// The pictures are SVG files on a 32 x 32 grid (src/ui/icons, compiled into the program's
// resources), drawn by Qt SVG at every size they are asked for.
QString PathOf(const char* name)
{
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

// The screen's own pixels: a picture drawn at 1x would be stretched, and blurred, on a 2x screen.
qreal ScreenRatio()
{
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

// A picture of size x size logical pixels holding size * dpr device pixels on each side.
QPixmap Render(const char* name, int size, qreal dpr)
{
    const int pixels = qCeil(size * dpr);
    QPixmap pix(pixels, pixels);
    pix.fill(Qt::transparent);
    QSvgRenderer renderer(PathOf(name));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(0, 0, pixels, pixels));
    p.end();
    pix.setDevicePixelRatio(dpr);
    return pix;
}

QIcon MakeIcon(const char* name)
{
    // An icon picks the largest of its pictures that fits the pixels it is drawn on, so a set of
    // plain sizes serves every scale.
    QIcon icon;
    for (int size : {16, 20, 22, 24, 32, 40, 44, 48, 64, 96, 128})
        icon.addPixmap(Render(name, size, 1.0));
    return icon;
}

const char* ViewName(int index)
{
    static const char* const names[] = {
        "view-compose",      "view-outbox",     "view-sent",     "view-deleted",  "view-drafts",
        "view-address-book", "view-mail-watch", "view-settings", "view-received", "view-conversations"};
    return index >= 0 && index < kViewCount ? names[index] : nullptr;
}

const char* const kApp = "brivantel";

} // namespace

QPixmap ViewPixmap(int index, int size)
{
    const char* name = ViewName(index);
    if (!name) {
        QPixmap empty(qCeil(size * ScreenRatio()), qCeil(size * ScreenRatio()));
        empty.fill(Qt::transparent);
        empty.setDevicePixelRatio(ScreenRatio());
        return empty;
    }
    return Render(name, size, ScreenRatio());
}

QIcon ViewIcon(int index)
{
    const char* name = ViewName(index);
    return name ? MakeIcon(name) : QIcon();
}

std::vector<QPixmap> ViewPixmaps(int size)
{
    std::vector<QPixmap> all;
    for (int i = 0; i < kViewCount; ++i)
        all.push_back(ViewPixmap(i, size));
    return all;
}

QIcon Named(const char* name)
{
    return MakeIcon(name);
}

QIcon AppIcon()
{
    return MakeIcon(kApp);
}

QPixmap AppPixmap(int size)
{
    return Render(kApp, size, ScreenRatio());
}

} // namespace icons

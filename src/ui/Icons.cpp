#include "ui/Icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/Commands.h"

namespace icons {

namespace {

// The pictures are SVG files on a 32 x 32 grid (src/ui/icons, compiled into the program's
// resources), drawn by Qt SVG at every size they are asked for.
QString PathOf(const char* name)
{
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

QPixmap Render(const char* name, int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QSvgRenderer renderer(PathOf(name));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(0, 0, size, size));
    return pix;
}

QIcon MakeIcon(const char* name)
{
    QIcon icon;
    for (int size : {16, 20, 22, 24, 32, 48, 64})
        icon.addPixmap(Render(name, size));
    return icon;
}

const char* ViewName(int index)
{
    static const char* const names[] = {"view-compose",    "view-outbox",   "view-sent",
                                        "view-deleted",    "view-drafts",   "view-address-book",
                                        "view-mail-watch", "view-settings", "view-received"};
    return index >= 0 && index < kViewCount ? names[index] : nullptr;
}

const char* const kApp = "brivantel";

} // namespace

QPixmap ViewPixmap(int index, int size)
{
    const char* name = ViewName(index);
    if (!name) {
        QPixmap empty(size, size);
        empty.fill(Qt::transparent);
        return empty;
    }
    return Render(name, size);
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
    return Render(kApp, size);
}

} // namespace icons

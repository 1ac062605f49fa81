#include "ui/Icons.h"

#include <functional>

#include <QPainter>
#include <QPainterPath>

#include "ui/Commands.h"

namespace icons {

namespace {

// Every picture is drawn on a 32 x 32 grid and scaled to the size asked for.
using Draw = std::function<void(QPainter&)>;

const QColor kOutline(52, 62, 80);
const QColor kPaper(255, 253, 240);
const QColor kEnvelope(250, 246, 226);
const QColor kBlue(52, 120, 206);
const QColor kGreen(48, 160, 72);
const QColor kRed(210, 58, 50);
const QColor kOrange(236, 146, 32);
const QColor kGrey(150, 160, 175);

QPixmap Render(const Draw& draw, int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    return pix;
}

QIcon MakeIcon(const Draw& draw)
{
    QIcon icon;
    for (int size : {16, 20, 22, 24, 32, 48, 64})
        icon.addPixmap(Render(draw, size));
    return icon;
}

QPen Outline(qreal width = 1.6)
{
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Envelope(QPainter& p, const QRectF& r)
{
    p.setPen(Outline());
    p.setBrush(kEnvelope);
    p.drawRoundedRect(r, 1.5, 1.5);
    QPainterPath flap;
    flap.moveTo(r.left() + 0.5, r.top() + 0.5);
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    flap.lineTo(r.right() - 0.5, r.top() + 0.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width = 4.0)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QLineF line(from, to);
    QLineF head1 = QLineF(to, from);
    head1.setLength(width * 1.6);
    head1.setAngle(head1.angle() + 40);
    QLineF head2 = QLineF(to, from);
    head2.setLength(width * 1.6);
    head2.setAngle(head2.angle() - 40);
    p.drawLine(line);
    p.drawLine(head1);
    p.drawLine(head2);
}

void Check(QPainter& p, QPointF at, qreal scale, const QColor& color)
{
    p.setPen(QPen(color, 3.6 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(at + QPointF(-5, 0) * scale);
    path.lineTo(at + QPointF(-1.5, 3.5) * scale);
    path.lineTo(at + QPointF(5.5, -4.5) * scale);
    p.drawPath(path);
}

void Badge(QPainter& p, QPointF center, qreal radius, const QColor& color)
{
    p.setPen(QPen(Qt::white, 1.4));
    p.setBrush(color);
    p.drawEllipse(center, radius, radius);
}

void Sheet(QPainter& p, const QRectF& r, bool lines = true)
{
    QPainterPath path;
    const qreal fold = r.width() * 0.3;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(Outline());
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    if (!lines)
        return;
    p.setPen(QPen(kGrey, 1.4, Qt::SolidLine, Qt::RoundCap));
    for (qreal y = r.top() + fold + 3; y < r.bottom() - 2; y += 3.5)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Pencil(QPainter& p, QPointF tip, qreal length, qreal scale = 1.0)
{
    p.save();
    p.translate(tip);
    p.rotate(-45);
    const qreal w = 5.0 * scale;
    QPainterPath body;
    body.moveTo(0, 0);
    body.lineTo(w * 1.2, -w / 2);
    body.lineTo(length, -w / 2);
    body.lineTo(length, w / 2);
    body.lineTo(w * 1.2, w / 2);
    body.closeSubpath();
    p.setPen(Outline(1.3));
    p.setBrush(kOrange);
    p.drawPath(body);
    p.setBrush(QColor(240, 200, 150));
    QPainterPath wood;
    wood.moveTo(0, 0);
    wood.lineTo(w * 1.2, -w / 2);
    wood.lineTo(w * 1.2, w / 2);
    wood.closeSubpath();
    p.drawPath(wood);
    p.setBrush(QColor(230, 120, 140));
    p.drawRect(QRectF(length - w * 0.8, -w / 2, w * 0.8, w));
    p.restore();
}

void TrashCan(QPainter& p, const QRectF& r, const QColor& body)
{
    p.setPen(Outline());
    p.setBrush(body);
    QPainterPath can;
    can.moveTo(r.left() + 2, r.top() + 5);
    can.lineTo(r.right() - 2, r.top() + 5);
    can.lineTo(r.right() - 4, r.bottom());
    can.lineTo(r.left() + 4, r.bottom());
    can.closeSubpath();
    p.drawPath(can);
    p.drawRoundedRect(QRectF(r.left(), r.top() + 1.5, r.width(), 3.5), 1, 1);
    p.drawRoundedRect(QRectF(r.center().x() - 3, r.top() - 0.5, 6, 2.5), 1, 1);
    p.setPen(QPen(kOutline.lighter(160), 1.4, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {-4.0, 0.0, 4.0})
        p.drawLine(QPointF(r.center().x() + x, r.top() + 8),
                   QPointF(r.center().x() + x * 0.85, r.bottom() - 3));
}

void Person(QPainter& p, QPointF head, qreal scale, const QColor& color)
{
    p.setPen(Outline(1.3));
    p.setBrush(color);
    QPainterPath body;
    body.addEllipse(QRectF(head.x() - 7 * scale, head.y() + 6 * scale, 14 * scale, 14 * scale));
    QPainterPath clip;
    clip.addRect(QRectF(head.x() - 8 * scale, head.y() + 5 * scale, 16 * scale, 8.5 * scale));
    p.drawPath(body.intersected(clip));
    p.setBrush(QColor(250, 214, 170));
    p.drawEllipse(head, 4 * scale, 4 * scale);
}

void Magnifier(QPainter& p, QPointF center, qreal radius)
{
    p.setPen(QPen(kOutline, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(center + QPointF(radius * 0.7, radius * 0.7), center + QPointF(radius * 1.8, radius * 1.8));
    p.setPen(Outline(2.0));
    p.setBrush(QColor(200, 230, 250));
    p.drawEllipse(center, radius, radius);
}

void Gear(QPainter& p, QPointF c, qreal outer, const QColor& color)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal r = (i % 2 == 0) ? outer : outer * 0.74;
        for (int k = 0; k < 2; ++k) {
            const qreal angle = (i + k) * M_PI / teeth - M_PI / (teeth * 2);
            const QPointF pt(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
            if (i == 0 && k == 0)
                gear.moveTo(pt);
            else
                gear.lineTo(pt);
        }
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, outer * 0.3, outer * 0.3);
    p.setPen(Outline(1.4));
    p.setBrush(color);
    p.drawPath(gear.subtracted(hole));
}

void Clock(QPainter& p, QPointF c, qreal r)
{
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(kBlue);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -r * 0.62));
    p.drawLine(c, c + QPointF(r * 0.5, 0));
}

void Tiles(QPainter& p, int perRow, qreal tile, qreal gap)
{
    p.setPen(Outline(1.2));
    p.setBrush(QColor(120, 170, 230));
    const qreal total = perRow * tile + (perRow - 1) * gap;
    const qreal start = (32 - total) / 2;
    for (int row = 0; row < perRow; ++row)
        for (int col = 0; col < perRow; ++col)
            p.drawRoundedRect(QRectF(start + col * (tile + gap), start + row * (tile + gap), tile, tile), 1,
                              1);
}

Draw ViewDraw(int index)
{
    switch (index) {
    case 0: // compose and send
        return [](QPainter& p) {
            Envelope(p, QRectF(2, 9, 22, 16));
            Arrow(p, QPointF(16, 18), QPointF(29, 8), kGreen);
        };
    case 1: // outbox: waiting to go
        return [](QPainter& p) {
            Envelope(p, QRectF(3, 7, 22, 16));
            Clock(p, QPointF(23, 23), 7);
        };
    case 2: // sent
        return [](QPainter& p) {
            Envelope(p, QRectF(3, 7, 22, 16));
            Badge(p, QPointF(23, 23), 7.5, kGreen);
            Check(p, QPointF(23, 23.5), 0.85, Qt::white);
        };
    case 3: // deleted
        return [](QPainter& p) { TrashCan(p, QRectF(6, 4, 20, 25), QColor(176, 190, 208)); };
    case 4: // drafts
        return [](QPainter& p) {
            Sheet(p, QRectF(5, 3, 19, 26));
            Pencil(p, QPointF(15, 25), 18, 1.1);
        };
    case 5: // address book
        return [](QPainter& p) {
            p.setPen(Outline());
            p.setBrush(QColor(176, 60, 48));
            p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
            p.setBrush(kPaper);
            p.drawRect(QRectF(9, 3, 18, 26));
            p.setBrush(kOrange);
            for (qreal y : {6.0, 12.0, 18.0})
                p.drawRect(QRectF(26, y, 3, 4));
            Person(p, QPointF(18, 10.5), 0.75, kBlue);
            p.setPen(QPen(kGrey, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(12, 22), QPointF(24, 22));
            p.drawLine(QPointF(12, 25.5), QPointF(22, 25.5));
        };
    case 6: // mailbox watch
        return [](QPainter& p) {
            Envelope(p, QRectF(2, 6, 22, 16));
            Magnifier(p, QPointF(20, 20), 5.5);
        };
    case 7: // settings
        return [](QPainter& p) { Gear(p, QPointF(16, 16), 13, QColor(140, 156, 178)); };
    default:
        return [](QPainter&) {};
    }
}

Draw CommandDraw(int command)
{
    using namespace cmd;
    switch (command) {
    case kEdit:
        return [](QPainter& p) {
            Sheet(p, QRectF(4, 3, 19, 26));
            Pencil(p, QPointF(14, 26), 19, 1.2);
        };
    case kSend:
        return ViewDraw(0);
    case kSendLater:
        return ViewDraw(1);
    case kSaveDraft:
        return [](QPainter& p) {
            p.setPen(Outline());
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(4, 4, 24, 24), 2.5, 2.5);
            p.setBrush(kPaper);
            p.drawRect(QRectF(9, 4, 14, 9));
            p.setBrush(QColor(210, 220, 235));
            p.drawRect(QRectF(8, 18, 16, 10));
            p.setBrush(kOutline);
            p.drawRect(QRectF(18, 6, 3, 5));
        };
    case kClear:
        return [](QPainter& p) {
            Sheet(p, QRectF(5, 3, 19, 26), false);
            p.setPen(QPen(kRed, 3.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 12), QPointF(20, 22));
            p.drawLine(QPointF(20, 12), QPointF(10, 22));
        };
    case kInsertMessage:
        return [](QPainter& p) {
            Sheet(p, QRectF(4, 3, 19, 26));
            Badge(p, QPointF(23, 23), 7.5, kGreen);
            p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(23, 19.5), QPointF(23, 26.5));
            p.drawLine(QPointF(19.5, 23), QPointF(26.5, 23));
        };
    case kCheckRecipients:
        return [](QPainter& p) {
            Person(p, QPointF(13, 8), 1.2, kBlue);
            Badge(p, QPointF(23, 23), 7.5, kGreen);
            Check(p, QPointF(23, 23.5), 0.85, Qt::white);
        };
    case kDelete:
    case kDeleteMessage:
        return [](QPainter& p) {
            p.setPen(QPen(kRed.darker(130), 7.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 8), QPointF(24, 24));
            p.drawLine(QPointF(24, 8), QPointF(8, 24));
            p.setPen(QPen(kRed, 5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 8), QPointF(24, 24));
            p.drawLine(QPointF(24, 8), QPointF(8, 24));
        };
    case kDeleteAll:
        return [](QPainter& p) {
            TrashCan(p, QRectF(4, 5, 18, 23), QColor(176, 190, 208));
            Badge(p, QPointF(24, 23), 7, kRed);
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(21.5, 20.5), QPointF(26.5, 25.5));
            p.drawLine(QPointF(26.5, 20.5), QPointF(21.5, 25.5));
        };
    case kNewAddress:
        return [](QPainter& p) {
            Person(p, QPointF(13, 8), 1.2, kBlue);
            Badge(p, QPointF(23, 23), 7.5, kGreen);
            p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(23, 19.5), QPointF(23, 26.5));
            p.drawLine(QPointF(19.5, 23), QPointF(26.5, 23));
        };
    case kProperties:
        return [](QPainter& p) {
            p.setPen(Outline());
            p.setBrush(kPaper);
            p.drawRoundedRect(QRectF(2, 6, 28, 20), 2.5, 2.5);
            Person(p, QPointF(10, 11.5), 0.8, kBlue);
            p.setPen(QPen(kGrey, 1.8, Qt::SolidLine, Qt::RoundCap));
            for (qreal y : {12.0, 16.5, 21.0})
                p.drawLine(QPointF(18, y), QPointF(26, y));
        };
    case kFind:
        return [](QPainter& p) { Magnifier(p, QPointF(13, 13), 8.5); };
    case kLargeIcons:
        return [](QPainter& p) { Tiles(p, 2, 11, 4); };
    case kSmallIcons:
        return [](QPainter& p) { Tiles(p, 3, 7, 3); };
    case kList:
        return [](QPainter& p) {
            for (qreal y : {6.0, 14.0, 22.0}) {
                p.setPen(Outline(1.2));
                p.setBrush(QColor(120, 170, 230));
                p.drawRoundedRect(QRectF(4, y, 5, 5), 1, 1);
                p.setPen(QPen(kOutline, 2, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(12, y + 2.5), QPointF(27, y + 2.5));
            }
        };
    case kDetails:
        return [](QPainter& p) {
            p.setPen(Outline(1.3));
            p.setBrush(kPaper);
            p.drawRect(QRectF(3, 5, 26, 22));
            p.setBrush(QColor(120, 170, 230));
            p.drawRect(QRectF(3, 5, 26, 5));
            p.setPen(QPen(kGrey, 1.2));
            for (qreal y : {15.5, 21.0})
                p.drawLine(QPointF(3, y), QPointF(29, y));
            p.drawLine(QPointF(12, 10), QPointF(12, 27));
        };
    case kCompose:
        return [](QPainter& p) {
            Envelope(p, QRectF(2, 10, 22, 16));
            Pencil(p, QPointF(17, 18), 16, 1.1);
        };
    case kSettingsBehaviour:
    case kSettingsSending:
    case kSettingsConnection:
        return ViewDraw(7);
    default:
        return {};
    }
}

void DrawApp(QPainter& p)
{
    QLinearGradient bg(0, 0, 0, 32);
    bg.setColorAt(0, QColor(72, 150, 230));
    bg.setColorAt(1, QColor(30, 92, 180));
    p.setPen(QPen(QColor(24, 64, 130), 1.2));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(5, 7, 22, 14), 5, 5);
    QPainterPath tail;
    tail.moveTo(9, 19);
    tail.lineTo(8, 26);
    tail.lineTo(15, 20);
    tail.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(bubble.united(tail));
    p.setBrush(QColor(30, 92, 180));
    for (qreal x : {11.0, 16.0, 21.0})
        p.drawEllipse(QPointF(x, 14), 1.8, 1.8);
}

} // namespace

QPixmap ViewPixmap(int index, int size)
{
    return Render(ViewDraw(index), size);
}

QIcon ViewIcon(int index)
{
    return MakeIcon(ViewDraw(index));
}

std::vector<QPixmap> ViewPixmaps(int size)
{
    std::vector<QPixmap> all;
    for (int i = 0; i < kViewCount; ++i)
        all.push_back(ViewPixmap(i, size));
    return all;
}

QIcon CommandIcon(int command)
{
    const Draw draw = CommandDraw(command);
    return draw ? MakeIcon(draw) : QIcon();
}

QIcon AppIcon()
{
    return MakeIcon(DrawApp);
}

QPixmap AppPixmap(int size)
{
    return Render(DrawApp, size);
}

} // namespace icons

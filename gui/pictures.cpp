#include "gui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ledrana::gui {

QPixmap BannerPicture(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF band(1, 4, size.width() - 2, size.height() - 8);
    QLinearGradient fill(band.topLeft(), band.bottomLeft());
    fill.setColorAt(0, QColor(40, 90, 170));
    fill.setColorAt(1, QColor(15, 45, 110));
    QPainterPath shape;
    shape.addRoundedRect(band, 10, 10);
    p.fillPath(shape, fill);
    p.setPen(QPen(QColor(200, 215, 240), 1.5));
    p.drawPath(shape);

    QFont name(QStringLiteral("DejaVu Serif"));
    name.setPixelSize(static_cast<int>(band.height() * 0.55));
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(band.adjusted(14, 0, 0, -band.height() * 0.18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tessaro"));
    QFont motto(QStringLiteral("DejaVu Sans"));
    motto.setPixelSize(static_cast<int>(band.height() * 0.2));
    p.setFont(motto);
    p.setPen(QColor(220, 230, 250));
    p.drawText(band.adjusted(0, 0, -14, -6), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("contabilità e gestione"));
    return pixmap;
}

QPixmap ManualIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // pages, then the cover over them
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 235));
    p.drawRoundedRect(QRectF(7, 3, 22, 27), 2, 2);
    p.setBrush(QColor(170, 30, 30));
    p.drawRoundedRect(QRectF(4, 2, 22, 27), 2, 2);
    p.setBrush(QColor(120, 15, 15));
    p.drawRect(QRectF(4, 2, 4, 27));
    QFont mark(QStringLiteral("DejaVu Sans"));
    mark.setPixelSize(20);
    mark.setBold(true);
    p.setFont(mark);
    p.setPen(Qt::white);
    p.drawText(QRectF(8, 2, 18, 27), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}

} // namespace ledrana::gui

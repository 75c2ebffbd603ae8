#include "Application.h"

#include <QGuiApplication>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon DiziroviIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xdb, 0xe9, 0xf6));
        p.drawRoundedRect(QRectF(0, 0, 64, 64), 8, 8);
        p.setBrush(QColor(0xb5, 0x89, 0x4f));
        p.drawPolygon(QPolygonF({{0, 46}, {18, 46}, {40, 22}, {64, 22}, {64, 64}, {0, 64}}));
        p.setBrush(QColor(0x8c, 0x6a, 0x3c));
        p.drawPolygon(QPolygonF({{0, 54}, {64, 38}, {64, 64}, {0, 64}}));
        QPainterPath arc;
        arc.moveTo(12, 46);
        arc.quadTo(38, 48, 50, 22);
        p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 3));
        p.setBrush(Qt::NoBrush);
        p.drawPath(arc);
        icon.addPixmap(pixmap);
    }
    return icon;
}

void ConfigureApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("DizirOvi"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QGuiApplication::setWindowIcon(DiziroviIcon());
}

#include "Application.h"

#include "base/Errors.h"
#include "base/UserInteraction.h"

#include <QGuiApplication>
#include <cstdio>
#include <exception>

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

QString appmsg::unexpected(const QString& what) {
    return QStringLiteral(
               "The last command stopped on an unexpected error:\r%1\r\rYour problem is still open as it "
               "was; save it (under a new name to be safe) before you go on.")
        .arg(what);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const EDiziOvi& e) {
        report(e.message());
    } catch (const std::exception& e) {
        report(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report(QStringLiteral("an error of unknown kind"));
    }
    return false;
}

void TApplication::report(const QString& what) {
    std::fprintf(stderr, "dizirovi: %s\n", qPrintable(what));
    // A fault while the message is up (its own events) is only written to the error stream.
    if (!m_messages || m_reporting) return;
    m_reporting = true;
    m_messages->error(appmsg::unexpected(what));
    m_reporting = false;
}

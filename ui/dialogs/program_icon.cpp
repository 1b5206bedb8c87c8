#include "ui/dialogs/program_icon.h"

#include <QPainter>
#include <QPolygon>

QPixmap ProgramIcon() {
    QPixmap icon(32, 32);
    icon.fill(QColor(192, 192, 192));
    QPainter painter(&icon);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(2, 2, 27, 27);
    // The link-usage strip: green, yellow and one failed call in blue.
    const QColor strip[] = {Qt::green, Qt::green, Qt::yellow, Qt::green, Qt::blue, Qt::green};
    for (int i = 0; i < 6; ++i) painter.fillRect(4 + i * 4, 24, 4, 3, strip[i]);
    painter.setPen(QPen(Qt::red, 2));
    const QPolygon curve(
        {QPoint(4, 18), QPoint(9, 12), QPoint(14, 15), QPoint(19, 7), QPoint(24, 10), QPoint(27, 5)});
    painter.drawPolyline(curve);
    painter.setPen(Qt::darkBlue);
    painter.drawLine(4, 21, 27, 21);
    return icon;
}

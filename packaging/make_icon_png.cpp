// Renders packaging/hopwatch.svg into the PNG sizes of the icon theme at
// build time, so that the drawing has one source. Qt's SVG module is not
// among the build's packages, and the icon needs only a small part of SVG:
// rect (rx), line, polyline, circle and path with M and Q, each with fill,
// stroke, stroke-width and round joins and caps; anything else is refused
// so that a new element cannot silently go missing from the PNGs.
//
//   make_icon_png hopwatch.svg SIZE OUT.png
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QXmlStreamReader>
#include <cstdio>
#include <cstdlib>

namespace {

QPen PenOf(const QXmlStreamAttributes& a) {
    const QString stroke = a.value(QStringLiteral("stroke")).toString();
    if (stroke.isEmpty() || stroke == QStringLiteral("none")) return Qt::NoPen;
    QPen pen{QColor(stroke)};
    const QString width = a.value(QStringLiteral("stroke-width")).toString();
    pen.setWidthF(width.isEmpty() ? 1.0 : width.toDouble());
    pen.setCapStyle(a.value(QStringLiteral("stroke-linecap")) == QStringLiteral("round") ? Qt::RoundCap
                                                                                         : Qt::FlatCap);
    pen.setJoinStyle(a.value(QStringLiteral("stroke-linejoin")) == QStringLiteral("round") ? Qt::RoundJoin
                                                                                           : Qt::MiterJoin);
    return pen;
}

QBrush BrushOf(const QXmlStreamAttributes& a) {
    const QString fill = a.value(QStringLiteral("fill")).toString();
    if (fill == QStringLiteral("none")) return Qt::NoBrush;
    return QColor(fill.isEmpty() ? QStringLiteral("#000000") : fill);
}

double Num(const QXmlStreamAttributes& a, const char* name) {
    return a.value(QString::fromLatin1(name)).toDouble();
}

QList<double> Numbers(QString text) {
    text.replace(QLatin1Char(','), QLatin1Char(' '));
    QList<double> values;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double v = part.toDouble(&ok);
        if (ok) values.append(v);
    }
    return values;
}

// "M x y Q cx cy x y ..." only.
bool PathOf(const QString& d, QPainterPath& path) {
    const QStringList parts =
        QString(d).replace(QLatin1Char(','), QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size();) {
        const QString op = parts[i++];
        auto take = [&](int n, QList<double>& v) {
            for (int k = 0; k < n && i < parts.size(); ++k) v.append(parts[i++].toDouble());
            return v.size() == n;
        };
        QList<double> v;
        if (op == QStringLiteral("M") && take(2, v)) {
            path.moveTo(v[0], v[1]);
        } else if (op == QStringLiteral("Q") && take(4, v)) {
            path.quadTo(v[0], v[1], v[2], v[3]);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_icon_png ICON.svg SIZE OUT.png\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_icon_png: cannot read %s\n", argv[1]);
        return 1;
    }
    const int size = std::atoi(argv[2]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QStringLiteral("svg")) {
            const QList<double> box = Numbers(a.value(QStringLiteral("viewBox")).toString());
            if (box.size() == 4) p.scale(size / box[2], size / box[3]);
            continue;
        }
        p.setPen(PenOf(a));
        p.setBrush(BrushOf(a));
        if (name == QStringLiteral("rect")) {
            p.drawRoundedRect(QRectF(Num(a, "x"), Num(a, "y"), Num(a, "width"), Num(a, "height")),
                              Num(a, "rx"), Num(a, "rx"));
        } else if (name == QStringLiteral("line")) {
            p.drawLine(QPointF(Num(a, "x1"), Num(a, "y1")), QPointF(Num(a, "x2"), Num(a, "y2")));
        } else if (name == QStringLiteral("polyline")) {
            const QList<double> v = Numbers(a.value(QStringLiteral("points")).toString());
            QPolygonF line;
            for (int i = 0; i + 1 < v.size(); i += 2) line << QPointF(v[i], v[i + 1]);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(line);
        } else if (name == QStringLiteral("circle")) {
            const double r = Num(a, "r");
            p.drawEllipse(QPointF(Num(a, "cx"), Num(a, "cy")), r, r);
        } else if (name == QStringLiteral("path")) {
            QPainterPath path;
            if (!PathOf(a.value(QStringLiteral("d")).toString(), path)) {
                std::fprintf(stderr, "make_icon_png: a path may hold only M and Q\n");
                return 1;
            }
            p.drawPath(path);
        } else {
            std::fprintf(stderr, "make_icon_png: <%s> is not drawn by this tool\n", qPrintable(name));
            return 1;
        }
    }
    if (xml.hasError()) {
        std::fprintf(stderr, "make_icon_png: %s\n", qPrintable(xml.errorString()));
        return 1;
    }
    p.end();
    return image.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}

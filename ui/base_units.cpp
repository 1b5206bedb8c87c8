#include "ui/base_units.h"

#include <QFont>
#include <QFontMetrics>

BaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Dialog units are measured as a wider font than the one the texts are
    // drawn in: 8 / 5.5 of its mean letter advance and 16 / 13 of its line
    // height. Every width given as characters x BaseUnitX (status fields,
    // margins, the label fit) then leaves room to spare, so no readout is cut.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    int average = (letters / 26 + 1) / 2;
    if (average < metrics.averageCharWidth()) average = metrics.averageCharWidth();
    BaseUnits units{(average * 16 + 5) / 11, (metrics.height() * 16 + 6) / 13};
    if (units.X < 1) units.X = 8;  // a font without metrics must not collapse the window
    if (units.Y < 1) units.Y = 16;
    return units;
}

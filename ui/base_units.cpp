#include "ui/base_units.h"

#include <QFont>
#include <QFontMetrics>

BaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The dialog unit: the mean advance of the 52 letters, rounded to the
    // nearest pixel; never below the font's own average.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    int x = (letters / 26 + 1) / 2;
    if (x < metrics.averageCharWidth()) x = metrics.averageCharWidth();
    BaseUnits units{x, metrics.height()};
    if (units.X < 1) units.X = 8;   // a font without metrics must not collapse the window
    if (units.Y < 1) units.Y = 16;
    return units;
}

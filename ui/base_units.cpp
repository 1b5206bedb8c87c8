#include "ui/base_units.h"

#include <QFont>
#include <QFontMetrics>

BaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The classic dialog units came from the system font (8 x 16) while the
    // diagram and the status bar wrote in the smaller GUI font (about
    // 5.5 x 13), so every width measured as characters x BaseUnitX left room
    // to spare. Keep that relation to the font the texts are drawn in:
    // 8 / 5.5 of its mean letter advance and 16 / 13 of its line height.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    int average = (letters / 26 + 1) / 2;
    if (average < metrics.averageCharWidth()) average = metrics.averageCharWidth();
    BaseUnits units{(average * 16 + 5) / 11, (metrics.height() * 16 + 6) / 13};
    if (units.X < 1) units.X = 8;   // a font without metrics must not collapse the window
    if (units.Y < 1) units.Y = 16;
    return units;
}

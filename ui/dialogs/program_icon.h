// The program's icon "hopwin": a small diagram with a curve and the
// link-usage strip, drawn at 32 x 32.
//
// Threading: GUI thread only.
#pragma once

#include <QPixmap>

QPixmap ProgramIcon();

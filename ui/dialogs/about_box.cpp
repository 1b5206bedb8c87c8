#include "ui/dialogs/about_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "core/program_names.h"
#include "ui/dialogs/program_icon.h"

AboutBox::AboutBox(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 60, 20, 190, 120, 0) {
    setWindowTitle(QStringLiteral("About Hopwatch"));
    place(new QGroupBox(this), 48, 5, 1, 180, 100);
    struct Line {
        const char* Text;
        int X, Y, Width;
        int Centred;
    };
    const Line lines[] = {
        {"Linkscope", 0, 12, 180, 1},
        {"Hopwatch", 12, 36, 30, 0},
        {kProgramVersion, 42, 36, 18, 1},  // centred, so that it stands clear of the name
        {", 32 Bit Monitor Program, 01.01.2000", 58, 36, 124, 0},
        {"Copyright (C) the hopwatch developers", 10, 48, 170, 1},
        {"Watches the links of packet-radio digipeaters", 10, 64, 170, 1},
        {"Thanks to the digipeater operators", 10, 76, 170, 1},
        {"who tried it on the air", 10, 88, 170, 1},
    };
    for (const Line& line : lines) {
        QLabel* label =
            place(new QLabel(QString::fromLatin1(line.Text), this), 0, line.X, line.Y, line.Width, 8);
        if (line.Centred) label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    }
    QLabel* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon());
    icon->setGeometry(QRect(dialogUnits(10, 8, 0, 0).topLeft(), QSize(32, 32)));
    QPushButton* ok = place(new QPushButton(QStringLiteral("&Ok"), this), 1, 64, 104, 64, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

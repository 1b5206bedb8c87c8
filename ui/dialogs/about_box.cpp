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
        QString Text;
        int X, Y, Width;
        int Centred;
    };
    const Line lines[] = {
        {QStringLiteral("Linkscope"), 0, 12, 180, 1},
        // Name, version and description as one line of text: as three fields
        // they leave a gap after the name and a blank before the comma in
        // any font other than the one the fields were cut for.
        {QStringLiteral("Hopwatch %1, 32 Bit Monitor Program, 01.01.2000")
             .arg(QLatin1String(kProgramVersion)),
         12, 36, 170, 0},
        {QStringLiteral("Copyright (C) the hopwatch developers"), 10, 48, 170, 1},
        {QStringLiteral("Watches the links of packet-radio digipeaters"), 10, 64, 170, 1},
        {QStringLiteral("Thanks to the digipeater operators"), 10, 76, 170, 1},
        {QStringLiteral("who tried it on the air"), 10, 88, 170, 1},
    };
    for (const Line& line : lines) {
        QLabel* label = place(new QLabel(line.Text, this), 0, line.X, line.Y, line.Width, 8);
        if (line.Centred) label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    }
    QLabel* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon());
    icon->setGeometry(QRect(dialogUnits(10, 8, 0, 0).topLeft(), QSize(32, 32)));
    QPushButton* ok = place(new QPushButton(QStringLiteral("&Ok"), this), 1, 64, 104, 64, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

#include "ui/dialogs/excel_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/dialogs/program_icon.h"

ExcelBox::ExcelBox(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 60, 20, 255, 70, 0) {
    setWindowTitle(QStringLiteral("How to use EXCEL"));
    place(new QGroupBox(this), 48, 3, 1, 250, 60);
    QLabel* text =
        place(new QLabel(QStringLiteral("Press right mouse key to get help for using Excel!"), this), 0, 26,
              24, 210, 8);
    text->setAlignment(Qt::AlignCenter);
    QLabel* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon());
    icon->setGeometry(QRect(dialogUnits(10, 12, 0, 0).topLeft(), QSize(32, 32)));
    QPushButton* ok = place(new QPushButton(QStringLiteral("&Ok"), this), 1, 100, 42, 48, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

#include "ui/dialogs/graphics_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "core/app_state.h"

namespace {

struct SwitchBox {
    int Id;
    const char* Text;
    DisplaySwitch Switch;
    int X, Y, Width;
    int Topic;
};

// Each curve in its framed row with the labels of that curve; the bars and
// the shared Y zoom below the frames.
constexpr SwitchBox kBoxes[] = {
    {80, "&Qty", kSwitchQty, 12, 20, 100, 110},
    {81, "&Router Times", kSwitchTime, 12, 52, 100, 111},
    {82, "&Number of Bytes", kSwitchBytes, 12, 90, 100, 112},
    {79, "Show Usage of Link", kSwitchBalken, 12, 124, 100, 113},
    {95, "Same YZoom for each channel", kSwitchOneYZoom, 12, 136, 120, 114},
    {90, "Show QT&Y Label", kSwitchShowQty, 132, 20, 100, 115},
    {92, "Show &TxTim Label", kSwitchShowTxTim, 132, 46, 100, 116},
    {91, "Show R&xTim Label", kSwitchShowRxTim, 132, 60, 100, 117},
    {93, "Show T&KBY Label", kSwitchShowTkby, 132, 84, 100, 118},
    {94, "Show RK&BY Label", kSwitchShowRkby, 132, 98, 100, 119},
};

}  // namespace

GraphicsDialog::GraphicsDialog(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 20, 20, 242, 158, 0) {
    setWindowTitle(QStringLiteral("Diagrams"));
    place(new QLabel(QStringLiteral("Select Diagrams"), this), 0, 12, 4, 100, 8);
    place(new QLabel(QStringLiteral("Diagram Labels"), this), 0, 132, 4, 100, 8);
    place(new QGroupBox(this), 83, 6, 11, 230, 26);
    place(new QGroupBox(this), 84, 6, 38, 230, 36);
    place(new QGroupBox(this), 85, 6, 76, 230, 36);

    CopyDisplaySwitches(*context_.State, copies_);
    for (const SwitchBox& entry : kBoxes) {
        QCheckBox* box = place(new QCheckBox(QString::fromLatin1(entry.Text), this), entry.Id, entry.X,
                               entry.Y, entry.Width, 12);
        box->setChecked(copies_.Values[entry.Switch] == 1);
        setHelpTopic(box, entry.Topic);
        const DisplaySwitch which = entry.Switch;
        connect(box, &QCheckBox::clicked, this,
                [this, which](bool checked) { copies_.Values[which] = checked ? 1 : 0; });
    }
    QPushButton* ok = place(new QPushButton(QStringLiteral("&Ok"), this), 1, 160, 130, 50, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        ApplyDisplaySwitches(*context_.State, *context_.Port, copies_);
        accept();
    });
}

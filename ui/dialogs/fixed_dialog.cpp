#include "ui/dialogs/fixed_dialog.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QVariant>

#include "core/app_state.h"
#include "core/program_names.h"
#include "ui/dialogs/help_window.h"

namespace {
constexpr const char* kTopicProperty = "helpTopic";
}

FixedDialog::FixedDialog(const DialogContext& context, QWidget* owner, int x, int y, int width, int height,
                         int escapeCloses)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      context_(context),
      escapeCloses_(escapeCloses) {
    setAttribute(Qt::WA_DeleteOnClose);
    const QRect place = dialogUnits(x, y, width, height);
    setFixedSize(place.size());
    if (owner != nullptr) move(owner->mapToGlobal(QPoint(0, 0)) + place.topLeft());
}

QRect FixedDialog::dialogUnits(int x, int y, int width, int height) const {
    const int ux = context_.Units.X;
    const int uy = context_.Units.Y;
    return QRect(x * ux / 4, y * uy / 8, width * ux / 4, height * uy / 8);
}

void FixedDialog::setHelpTopic(QWidget* control, int topic) {
    control->setProperty(kTopicProperty, topic);
    control->installEventFilter(this);
}

void FixedDialog::showNotice(QWidget* owner, const char* text, QMessageBox::Icon icon) {
    auto* box = new QMessageBox(icon, QString::fromLatin1(kMainCaption), QString::fromLatin1(text),
                                QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void FixedDialog::reject() {
    if (escapeCloses_) QDialog::reject();
}

bool FixedDialog::eventFilter(QObject* watched, QEvent* event) {
    const bool help =
        event->type() == QEvent::ContextMenu ||
        (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1);
    const QVariant topic = watched->property(kTopicProperty);
    if (help && topic.isValid()) {
        HelpWindow::showTopic(context_.MainWindow, context_.State->german, topic.toInt());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

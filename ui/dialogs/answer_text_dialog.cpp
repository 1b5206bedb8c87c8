#include "ui/dialogs/answer_text_dialog.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>

#include "acquisition/answer_text.h"
#include "core/app_state.h"

AnswerTextDialog::AnswerTextDialog(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 60, 20, 300, 190, 1) {
    setWindowTitle(QStringLiteral("Response to a connect request"));
    place(new QLabel(QStringLiteral("Default answer:"), this), 74, 6, 4, 150, 8);
    char greeting[128];
    AnswerGreetingLine(greeting, sizeof greeting);
    QLineEdit* greetingField = place(new QLineEdit(QString::fromLatin1(greeting), this), 73, 6, 14, 288, 12);
    greetingField->setReadOnly(true);
    place(new QLabel(QStringLiteral("Your additional answer:"), this), 75, 6, 32, 150, 8);
    editor_ = place(new QPlainTextEdit(this), 71, 6, 42, 288, 122);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // The file's bytes as they are; the editor breaks lines at LF only.
    char text[kAnswerTextSize];
    LoadAnswerText(*context_.State, text, sizeof text);
    QString shown = QString::fromLatin1(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    editor_->setPlainText(shown);

    QPushButton* acceptButton = place(new QPushButton(QStringLiteral("&Accept"), this), 72, 180, 170, 54, 14);
    QPushButton* cancel = place(new QPushButton(QStringLiteral("Ca&ncel"), this), 2, 240, 170, 54, 14);
    acceptButton->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(acceptButton, &QPushButton::clicked, this, [this] { acceptText(); });
    connect(cancel, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    editor_->setFocus();
}

void AnswerTextDialog::acceptText() {
    // The editor's lines as the file keeps them, ending in CR LF.
    QString edited = editor_->toPlainText();
    edited.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    char text[kAnswerTextSize];
    if (!PrepareAnswerText(edited.toLatin1().constData(), text, sizeof text)) {
        char message[80];
        std::snprintf(message, sizeof message, kAnswerLineFormat, kAnswerLineChars);
        showNotice(this, message, QMessageBox::Critical);
        return;
    }
    // A failed save closes the dialog as well; the reason went to the log
    // and the old file is as it was.
    SaveAnswerText(*context_.State, *context_.Port, text);
    accept();
}

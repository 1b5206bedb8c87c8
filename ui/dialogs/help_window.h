// The in-program help: our own English ("hopwhelp") and German ("hopwhilf")
// pages, bundled as resources and shown in one window beside the main
// window. The Help menu opens the contents page; the dialogs' context help
// opens the page of a topic id. The window has no parent, so that a dialog
// open over the main window does not block it; it goes with the main window.
//
// Threading: GUI thread only.
#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

constexpr int kHelpContents = 0;

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow();

    // Shows topic `topic` (kHelpContents for the contents page) in German
    // when `german` is nonzero, in the one help window of `mainWindow`,
    // made when first needed. Returns that window.
    static HelpWindow* showTopic(QWidget* mainWindow, int german, int topic);
    // The help window, null while none has been opened.
    static HelpWindow* current();
    // The page of a topic, e.g. "qrc:/help/de/channel.html#t103".
    static QUrl topicUrl(int german, int topic);

    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

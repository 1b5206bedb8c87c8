#include "ui/dialogs/help_window.h"

#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

struct HelpTopic {
    int Id;
    const char* Page;  // page and anchor inside the language's folder
};

// The topic ids the dialogs name, and where each is explained.
constexpr HelpTopic kTopics[] = {
    {kHelpContents, "index.html"}, {101, "channel.html#t101"},  {102, "channel.html#t102"},
    {103, "channel.html#t103"},    {104, "channel.html#t104"},  {105, "excel.html"},
    {106, "channel.html#t106"},    {107, "channel.html#t107"},  {110, "graphics.html#t110"},
    {111, "graphics.html#t111"},   {112, "graphics.html#t112"}, {113, "graphics.html#t113"},
    {114, "graphics.html#t114"},   {115, "graphics.html#t115"}, {116, "graphics.html#t116"},
    {117, "graphics.html#t117"},   {118, "graphics.html#t118"}, {119, "graphics.html#t119"},
};

QPointer<HelpWindow> gHelpWindow;

}  // namespace

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560, 480);
}

QUrl HelpWindow::topicUrl(int german, int topic) {
    const char* page = kTopics[0].Page;
    for (const HelpTopic& entry : kTopics) {
        if (entry.Id == topic) page = entry.Page;
    }
    return QUrl(QStringLiteral("qrc:/help/%1/%2")
                    .arg(german ? QStringLiteral("de") : QStringLiteral("en"), QString::fromLatin1(page)));
}

HelpWindow* HelpWindow::showTopic(QWidget* mainWindow, int german, int topic) {
    HelpWindow* window = gHelpWindow;
    if (window == nullptr) {
        window = new HelpWindow;
        gHelpWindow = window;
        QObject::connect(mainWindow, &QObject::destroyed, window, [window] { delete window; });
    }
    window->setWindowTitle(german ? QStringLiteral("Hopwatch Hilfe") : QStringLiteral("Hopwatch Help"));
    window->browser_->setSource(topicUrl(german, topic));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow* HelpWindow::current() {
    return gHelpWindow;
}

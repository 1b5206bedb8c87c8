#include "ui/status_bar_widget.h"

#include <QFontMetrics>
#include <QLabel>
#include <QSizeGrip>

StatusBarWidget::StatusBarWidget(const int* widths, int count, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusBar"));
    // The field widths are counted in average characters of the window's
    // font; texts such as "XZoom: 10" are wider than average (capitals,
    // digits), so the fields write one point smaller to keep them whole.
    QFont small = font();
    if (small.pointSizeF() > 6.0) small.setPointSizeF(small.pointSizeF() - 1.0);
    setFont(small);
    for (int k = 0; k < kStatusFieldCount; ++k) {
        widths_[k] = k < count ? widths[k] : 0;
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("statusField%1").arg(k));
        label->setMargin(0);
        label->setIndent(1);
        label->setTextFormat(Qt::PlainText);
        // Field 0 has no border, field 1 stands out, the rest are sunk in.
        if (k == 0) {
            label->setFrameStyle(QFrame::NoFrame);
        } else if (k == kFieldMarkerTime) {
            label->setFrameStyle(QFrame::Panel | QFrame::Raised);
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        fields_[k] = label;
    }
    fields_[0]->setText(QString::fromLatin1(kInitialStatusText));
    grip_ = new QSizeGrip(this);
    grip_->resize(grip_->sizeHint());
}

int StatusBarWidget::barHeight() const {
    return fontMetrics().height() + 8;
}

void StatusBarWidget::setFieldText(int field, const QString& text) {
    if (field < 0 || field >= kStatusFieldCount) return;
    if (fields_[field]->text() == text) return;
    fields_[field]->setText(text);
    // A text that outgrows its field (or shrinks back) moves the edges.
    if (field > 0 && clientRight_ >= 0 && neededWidth(field) != needed_[field]) layoutFields(clientRight_);
}

int StatusBarWidget::neededWidth(int field) const {
    const QLabel* label = fields_[field];
    return label->fontMetrics().horizontalAdvance(label->text()) + label->indent() + 2 * label->frameWidth();
}

void StatusBarWidget::layoutFields(int clientRight) {
    clientRight_ = clientRight;
    int edges[kStatusFieldCount];
    LayoutStatusFields(clientRight, kStatusFieldCount, widths_, edges);
    for (int k = 0; k < kStatusFieldCount; ++k) needed_[k] = k == 0 ? 0 : neededWidth(k);
    FitStatusFields(kStatusFieldCount, needed_, edges);
    const int h = height();
    int left = 0;
    for (int k = 0; k < kStatusFieldCount; ++k) {
        const int right = edges[k];
        // A field pushed past the left end keeps its width; field 0 simply
        // vanishes when its edge falls below zero.
        const int width = right - left;
        fields_[k]->setGeometry(left, 2, width > 0 ? width : 0, h - 3);
        fields_[k]->setVisible(width > 0);
        left = right;
    }
    const QSize g = grip_->sizeHint();
    grip_->setGeometry(width() - g.width(), h - g.height(), g.width(), g.height());
    grip_->raise();
}

#include "ui/view/diagram_widget.h"

#include <QBitmap>
#include <QCursor>
#include <QLine>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "core/app_state.h"
#include "core/platform_port.h"
#include "view/diagram_geometry.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"

namespace {

constexpr int kSmallestLabelPixels = 7;

QColor ToQColor(PlanColour c) {
    return QColor(c.R, c.G, c.B);
}

// A hand pointing up (tip of the index finger at the hot spot) below a
// framed box holding a triangle that points the way the diagram scrolls.
QBitmap DrawCursorShape(bool newer, bool mask) {
    QBitmap bitmap(32, 32);
    bitmap.fill(Qt::color0);
    QPainter p(&bitmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink = Qt::color1;
    p.setPen(ink);
    p.setBrush(mask ? QBrush(ink) : QBrush(Qt::NoBrush));
    // Box with the triangle, above the finger tip.
    p.drawRect(9, 0, 13, 9);
    QPolygon triangle;
    if (newer) {
        triangle << QPoint(13, 2) << QPoint(19, 5) << QPoint(13, 8);
    } else {
        triangle << QPoint(18, 2) << QPoint(12, 5) << QPoint(18, 8);
    }
    p.setBrush(QBrush(ink));
    p.drawPolygon(triangle);
    p.setBrush(mask ? QBrush(ink) : QBrush(Qt::NoBrush));
    // Index finger from the hot spot (15, 14) down, then the fist and wrist.
    p.drawRoundedRect(14, 14, 3, 9, 1, 1);
    p.drawRoundedRect(17, 19, 3, 5, 1, 1);
    p.drawRoundedRect(20, 20, 3, 5, 1, 1);
    p.drawRoundedRect(23, 21, 3, 5, 1, 1);
    p.drawRoundedRect(11, 21, 3, 4, 1, 1);
    p.drawRect(12, 24, 14, 7);
    return bitmap;
}

}  // namespace

QCursor DiagramCursor(int id) {
    const bool newer = id == kCursorScrollNewer;
    // Cursor bits: 1 = black; mask 1 = opaque. Outline black on a white fill.
    QBitmap outline = DrawCursorShape(newer, false);
    QBitmap mask = DrawCursorShape(newer, true);
    return QCursor(outline, mask, 15, 14);
}

DiagramWidget::DiagramWidget(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent)
    : QWidget(parent), state_(state), port_(port), units_(units), plan_(std::make_unique<PaintPlan>()) {
    setObjectName(QStringLiteral("diagram"));
    setMouseTracking(true);
    holdTimer_.setTimerType(Qt::PreciseTimer);
    holdTimer_.setInterval(kRightHoldStepMs);
    connect(&holdTimer_, &QTimer::timeout, this, [this] { rightHoldStep(); });
}

DiagramWidget::~DiagramWidget() = default;

void DiagramWidget::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    paintDiagram(painter);
}

// Picks the Y-label font: the window's own font where its labels fit, else
// one pixel smaller at a time until the widest label of the table fits left
// of the ticks and the digits of one label end a row before the next label
// begins (down to a size that stays legible).
void DiagramWidget::chooseLabelFont(int right, int pitch, int yScale) {
    if (labelFor_[0] == right && labelFor_[1] == pitch && labelFor_[2] == yScale) return;
    labelFor_[0] = right, labelFor_[1] = pitch, labelFor_[2] = yScale;
    QFont candidate = font();
    for (int pixels = QFontInfo(candidate).pixelSize();; candidate.setPixelSize(--pixels)) {
        const QFontMetrics metrics(candidate);
        int widest = 0;
        for (int i = 0; i < kYTickCount; ++i) {
            char label[kYLabelSize];
            YAxisLabelText(i, yScale, label, sizeof label);
            const int inked = metrics.boundingRect(QString::fromLatin1(label)).right() + 1;
            if (inked > widest) widest = inked;
        }
        const int digits = metrics.tightBoundingRect(QStringLiteral("0123456789")).height();
        if ((widest <= right + 1 && digits < pitch) || pixels <= kSmallestLabelPixels) {
            labelFont_ = candidate;
            labelWidth_ = widest;
            return;
        }
    }
}

void DiagramWidget::paintDiagram(QPainter& painter) {
    PrepareDiagramPaint(state_, port_);
    const ChannelRecord& current = state_.ChannelTable[state_.CurrentChannel];
    const YLabelRoom room =
        YAxisLabelRoom(SetupDiagramMapping(width(), height(), units_.X, units_.Y), current.YZoomStep);
    chooseLabelFont(room.Right, room.Pitch, current.YScale);
    const DiagramView view{
        width(),    height(), units_.X, units_.Y, port_.isButtonChecked(kCmdGrid), reduceColumns_ ? 1 : 0,
        labelWidth_};
    PaintPlan& plan = *plan_;
    BuildPaintPlan(state_, view, plan);

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics windowMetrics(font());
    const QFontMetrics labelMetrics(labelFont_);
    for (int i = 0; i < plan.ItemCount; ++i) {
        const PlanItem& item = plan.Items[i];
        const QColor colour = ToQColor(item.Colour);
        switch (item.Op) {
            case PlanOp::FillRect:
                painter.fillRect(QRect(item.X0, item.Y0, item.X1 - item.X0, item.Y1 - item.Y0), colour);
                break;
            case PlanOp::FrameRect: {
                const int w = item.X1 - item.X0;
                const int h = item.Y1 - item.Y0;
                painter.fillRect(QRect(item.X0, item.Y0, w, 1), colour);
                painter.fillRect(QRect(item.X0, item.Y1 - 1, w, 1), colour);
                painter.fillRect(QRect(item.X0, item.Y0, 1, h), colour);
                painter.fillRect(QRect(item.X1 - 1, item.Y0, 1, h), colour);
                break;
            }
            case PlanOp::Line:
            case PlanOp::DottedLine:
                painter.setPen(QPen(colour, 0, item.Op == PlanOp::Line ? Qt::SolidLine : Qt::DotLine));
                painter.drawLine(item.X0, item.Y0, item.X1, item.Y1);
                break;
            case PlanOp::Polyline: {
                // Segment by segment: each one-pixel line then covers both of
                // its ends whatever came before it, so the pixels of a curve
                // are the union of its segments and do not depend on how
                // many points a pixel column holds (a polyline's joins do).
                const CurvePoint* source = plan.Series[item.Series];
                segments_.resize(item.Count - 1);
                for (int k = 1; k < item.Count; ++k) {
                    segments_[k - 1] = QLine(source[k - 1].X, source[k - 1].Y, source[k].X, source[k].Y);
                }
                painter.setPen(QPen(colour, 0));
                painter.drawLines(segments_.constData(), item.Count - 1);
                break;
            }
            case PlanOp::Text: {
                const bool label = item.Font == kPlanFontYLabel;
                const QFontMetrics& metrics = label ? labelMetrics : windowMetrics;
                painter.setFont(label ? labelFont_ : font());
                painter.setPen(colour);
                const QString text = QString::fromLatin1(item.Text);
                int x = item.X0;
                int y = item.Y0;
                if (item.Align != kAlignLeftBaseline) y += metrics.ascent();
                if (item.Align == kAlignRightTop) x -= metrics.horizontalAdvance(text);
                painter.drawText(x, y, text);
                break;
            }
            case PlanOp::UsageBar:
                for (int b = 0; b < plan.BarCount; ++b) {
                    const BarSegment& s = plan.Bars[b];
                    painter.fillRect(QRect(s.Left, s.Top, s.Right - s.Left, s.Bottom - s.Top),
                                     ToQColor(s.Colour));
                }
                break;
        }
    }
    FinishDiagramPaint(state_);
    SendReadouts(plan, port_);
}

void DiagramWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int id = CursorAt(width(), height(), at.x(), at.y());
    if (id != cursorShown_) {
        cursorShown_ = id;
        if (id == kCursorArrow) {
            setCursor(Qt::ArrowCursor);
        } else {
            setCursor(DiagramCursor(id));
        }
    }
    QWidget::mouseMoveEvent(event);
}

void DiagramWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        PutMarkerAtClick(state_, port_, width(), height(), units_.X, units_.Y, at.x(), at.y());
    } else if (event->button() == Qt::RightButton && !hold_.Active) {
        if (BeginRightHold(state_, port_, width(), height(), at.x(), at.y(), hold_)) {
            if (holdTicks) holdTicks(true);
            rightHoldStep();
            holdTimer_.start();
        }
    }
    event->accept();
}

void DiagramWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) endRightHold();
    event->accept();
}

void DiagramWidget::rightHoldStep() {
    if (!hold_.Active) return;
    if (RightHoldStep(state_, port_, hold_)) repaint();  // the paint runs now, not later
}

void DiagramWidget::endRightHold() {
    if (!hold_.Active) return;
    holdTimer_.stop();
    EndRightHold(state_, hold_);
    if (holdTicks) holdTicks(false);
}

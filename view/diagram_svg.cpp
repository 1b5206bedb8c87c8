#include "view/diagram_svg.h"

#include <charconv>

#include "view/web_escape.h"

namespace {

void AppendInt(std::string& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void AppendColour(std::string& out, PlanColour c) {
    static const char kHex[] = "0123456789abcdef";
    const char text[7] = {
        '#', kHex[c.R >> 4], kHex[c.R & 15], kHex[c.G >> 4], kHex[c.G & 15], kHex[c.B >> 4], kHex[c.B & 15]};
    out.append(text, sizeof text);
}

// A filled rectangle of whole pixels, right and bottom exclusive.
void AppendRect(std::string& out, int x0, int y0, int x1, int y1, PlanColour colour) {
    if (x1 <= x0 || y1 <= y0) return;
    out += "<rect x=\"";
    AppendInt(out, x0);
    out += "\" y=\"";
    AppendInt(out, y0);
    out += "\" width=\"";
    AppendInt(out, x1 - x0);
    out += "\" height=\"";
    AppendInt(out, y1 - y0);
    out += "\" fill=\"";
    AppendColour(out, colour);
    out += "\"/>";
}

void FillRect(std::string& out, const PlanItem& item) {
    AppendRect(out, item.X0, item.Y0, item.X1, item.Y1, item.Colour);
}

void FrameRect(std::string& out, const PlanItem& item) {
    AppendRect(out, item.X0, item.Y0, item.X1, item.Y0 + 1, item.Colour);
    AppendRect(out, item.X0, item.Y1 - 1, item.X1, item.Y1, item.Colour);
    AppendRect(out, item.X0, item.Y0, item.X0 + 1, item.Y1, item.Colour);
    AppendRect(out, item.X1 - 1, item.Y0, item.X1, item.Y1, item.Colour);
}

// A one-pixel line covering both of its end points. Straight lines are
// rectangles of whole pixels; the dotted grid line keeps the cosmetic dot
// pattern (one pixel on, two off) from its start.
void Line(std::string& out, const PlanItem& item) {
    const int dotted = item.Op == PlanOp::DottedLine;
    if (!dotted && (item.X0 == item.X1 || item.Y0 == item.Y1)) {
        const int left = item.X0 < item.X1 ? item.X0 : item.X1;
        const int right = item.X0 < item.X1 ? item.X1 : item.X0;
        const int top = item.Y0 < item.Y1 ? item.Y0 : item.Y1;
        const int bottom = item.Y0 < item.Y1 ? item.Y1 : item.Y0;
        AppendRect(out, left, top, right + 1, bottom + 1, item.Colour);
        return;
    }
    out += "<path d=\"M";
    AppendInt(out, item.X0);
    out += ' ';
    AppendInt(out, item.Y0);
    out += 'L';
    AppendInt(out, item.X1);
    out += ' ';
    AppendInt(out, item.Y1);
    out += "\" stroke=\"";
    AppendColour(out, item.Colour);
    out += dotted ? "\" stroke-dasharray=\"1 2\" stroke-linecap=\"butt\" class=\"l\"/>" : "\" class=\"l\"/>";
}

void Polyline(std::string& out, const PaintPlan& plan, const PlanItem& item) {
    const CurvePoint* points = plan.Series[item.Series];
    if (points == nullptr || item.Count < 2) return;
    out += "<polyline stroke=\"";
    AppendColour(out, item.Colour);
    out += "\" class=\"l\" points=\"";
    for (int k = 0; k < item.Count; ++k) {
        if (k) out += ' ';
        AppendInt(out, points[k].X);
        out += ',';
        AppendInt(out, points[k].Y);
    }
    out += "\"/>";
}

void Text(std::string& out, const PlanItem& item) {
    out += "<text x=\"";
    AppendInt(out, item.X0);
    out += "\" y=\"";
    AppendInt(out, item.Y0);
    out += '"';
    if (item.Align != kAlignLeftBaseline) out += " dominant-baseline=\"text-before-edge\"";
    if (item.Align == kAlignRightTop) out += " text-anchor=\"end\"";
    out += " fill=\"";
    AppendColour(out, item.Colour);
    out += "\">";
    AppendHtml(out, item.Text, CellTextLength(item.Text, sizeof item.Text));
    out += "</text>";
}

void UsageBar(std::string& out, const PaintPlan& plan) {
    for (int b = 0; b < plan.BarCount; ++b) {
        const BarSegment& s = plan.Bars[b];
        AppendRect(out, s.Left, s.Top, s.Right, s.Bottom, s.Colour);
    }
}

}  // namespace

void AppendPlanSvg(const PaintPlan& plan, int width, int height, std::string& out) {
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"";
    AppendInt(out, width);
    out += "\" height=\"";
    AppendInt(out, height);
    out += "\" viewBox=\"0 0 ";
    AppendInt(out, width);
    out += ' ';
    AppendInt(out, height);
    out += "\" shape-rendering=\"crispEdges\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"";
    AppendInt(out, kSvgFontPixels);
    // Lines and curves run through pixel centres.
    out +=
        "px\"><style>.l{fill:none;stroke-width:1px;stroke-linecap:square;stroke-linejoin:bevel;"
        "transform:translate(.5px,.5px)}</style><rect width=\"100%\" height=\"100%\" fill=\"";
    out += kSvgBackground;
    out += "\"/>";
    for (int i = 0; i < plan.ItemCount; ++i) {
        const PlanItem& item = plan.Items[i];
        switch (item.Op) {
            case PlanOp::FillRect:
                FillRect(out, item);
                break;
            case PlanOp::FrameRect:
                FrameRect(out, item);
                break;
            case PlanOp::Line:
            case PlanOp::DottedLine:
                Line(out, item);
                break;
            case PlanOp::Polyline:
                Polyline(out, plan, item);
                break;
            case PlanOp::Text:
                Text(out, item);
                break;
            case PlanOp::UsageBar:
                UsageBar(out, plan);
                break;
        }
        out += '\n';
    }
    out += "</svg>";
}

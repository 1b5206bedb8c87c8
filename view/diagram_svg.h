// The diagram as SVG: the paint plan the window executes with QPainter,
// executed once more as SVG elements, one small function per plan
// operation, so the browser and the window draw the same items in the same
// order. Device pixels become user units one to one; everything is drawn
// without antialiasing (shape-rendering="crispEdges") and one-pixel lines
// are placed on pixel centres, as QPainter's aliased cosmetic pens draw.
//
// Texts from the radio (the link name in the title) are escaped for SVG
// (view/web_escape.h).
//
// Threading: none of its own.
#pragma once

#include <string>

#include "view/paint_plan.h"

constexpr const char* kSvgBackground = "#f0f0f0";  // the client area around the plot
constexpr int kSvgFontPixels = 12;

// Appends a complete <svg> element of `width` x `height` pixels drawing
// every item of `plan` (its point buffers must still be committed).
void AppendPlanSvg(const PaintPlan& plan, int width, int height, std::string& out);

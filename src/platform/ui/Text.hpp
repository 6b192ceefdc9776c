#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "ovix/platform/Font.hpp"
#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/Label.hpp"

// One line of a label's text, measured and drawn with cairo's sans-serif face.
// Main thread, like the labels it draws.
namespace ovix::ui::text {

// `utf8` made fit for one line: each invalid byte becomes U+FFFD and each
// line or paragraph break a space.
std::string oneLine(std::string_view utf8);

// Selects the sans-serif face at the font's size on `cr`.
void useFont(cairo_t* cr, Font font);
// The width of `line` in the current font.
double width(cairo_t* cr, const std::string& line);
// The height of one line in the current font: its ascent plus its descent.
double lineHeight(cairo_t* cr);

// `line` when it fits in `width`; otherwise its longest start, cut between
// grapheme clusters, that fits with "…" after it, or "" when not even "…"
// fits. In the current font.
std::string truncatedAtTail(cairo_t* cr, const std::string& line, double width);

// Draws the label's text on one line within `bounds` at the origin, left
// aligned and vertically centred, clipped to the bounds. Clipping cuts the
// text at the edge; every other line break mode ends it with "…" instead.
void drawLabel(cairo_t* cr, const Label& label, Size bounds);

}  // namespace ovix::ui::text

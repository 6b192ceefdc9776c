#pragma once

#include <cairo.h>

#include <unordered_map>

#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/TableViewCell.hpp"

namespace ovix::ui {

// Where a table cell's own views go, in the coordinates of their superviews,
// for those whose frame is zero; the others keep theirs. Laid out as a
// phone's plain cell: the content view over the cell; the image view at the
// left, at its image's size, 15 points in and vertically centred; the labels
// 15 points to its right, one line each of their fonts: the text label
// centred alone, the subtitle style's detail below it, value1's detail at
// the right edge and value2's after the text. Texts are measured with `cr`.
// Main thread, like the views.
using Frames = std::unordered_map<const View*, Rect>;
Frames layOutCell(cairo_t* cr, const TableViewCell& cell);

}  // namespace ovix::ui

#include "platform/ui/Text.hpp"

#include <utf8proc.h>

#include <vector>

namespace ovix::ui::text {
namespace {

constexpr const char* kEllipsis = "\u2026";
constexpr utf8proc_int32_t kReplacement = 0xfffd;

bool isLineBreak(utf8proc_int32_t c) {
  return c == '\n' || c == '\r' || c == 0x0b || c == 0x0c || c == 0x85 || c == 0x2028 ||
         c == 0x2029;
}

// Byte offsets after each grapheme cluster of valid UTF-8 `line`.
std::vector<std::size_t> clusterEnds(const std::string& line) {
  std::vector<std::size_t> ends;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(line.data());
  const auto size = static_cast<utf8proc_ssize_t>(line.size());
  utf8proc_int32_t state = 0;
  utf8proc_int32_t previous = -1;
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t c = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
    if (length <= 0) break;  // oneLine() made it valid
    if (previous >= 0 && utf8proc_grapheme_break_stateful(previous, c, &state)) {
      ends.push_back(static_cast<std::size_t>(at));
    }
    previous = c;
    at += length;
  }
  if (!line.empty()) ends.push_back(line.size());
  return ends;
}

}  // namespace

std::string oneLine(std::string_view utf8) {
  std::string line;
  line.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
  const auto size = static_cast<utf8proc_ssize_t>(utf8.size());
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t c = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
    if (length <= 0 || c < 0) {
      c = kReplacement;
      length = 1;
    } else if (isLineBreak(c)) {
      c = ' ';
    }
    utf8proc_uint8_t encoded[4];
    const utf8proc_ssize_t written = utf8proc_encode_char(c, encoded);
    line.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(written));
    at += length;
  }
  return line;
}

void useFont(cairo_t* cr, Font font) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font.pointSize());
}

double width(cairo_t* cr, const std::string& line) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, line.c_str(), &extents);
  return extents.x_advance;
}

double lineHeight(cairo_t* cr) {
  cairo_font_extents_t extents;
  cairo_font_extents(cr, &extents);
  return extents.ascent + extents.descent;
}

std::string truncatedAtTail(cairo_t* cr, const std::string& line, double available) {
  if (width(cr, line) <= available) return line;
  // Binary search for the most clusters that fit before the ellipsis.
  const auto ends = clusterEnds(line);
  std::size_t fits = 0;
  std::size_t tooMany = ends.size();
  while (tooMany - fits > 1) {
    const std::size_t middle = (fits + tooMany) / 2;
    if (width(cr, line.substr(0, ends[middle - 1]) + kEllipsis) <= available) {
      fits = middle;
    } else {
      tooMany = middle;
    }
  }
  if (fits > 0) return line.substr(0, ends[fits - 1]) + kEllipsis;
  return width(cr, kEllipsis) <= available ? kEllipsis : "";
}

void drawLabel(cairo_t* cr, const Label& label, Size bounds) {
  if (label.text().empty() || bounds.width <= 0 || bounds.height <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, bounds.width, bounds.height);
  cairo_clip(cr);
  useFont(cr, label.font());
  std::string line = oneLine(label.text());
  if (label.lineBreakMode() != LineBreakMode::clipping) {
    line = truncatedAtTail(cr, line, bounds.width);
  }
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  const Color color = label.textColor();
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
  cairo_move_to(cr, 0, (bounds.height - font.ascent - font.descent) / 2 + font.ascent);
  cairo_show_text(cr, line.c_str());
  cairo_restore(cr);
}

}  // namespace ovix::ui::text

#pragma once

#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Color.hpp"
#include "ovix/platform/Font.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// How text too long for the label's width is broken or cut.
enum class LineBreakMode {
  wordWrapping,
  charWrapping,
  clipping,
  truncatingHead,
  truncatingTail,
  truncatingMiddle,
};

// Text in one font and colour. Main thread only.
class OVIX_EXPORT Label : public View {
 public:
  explicit Label(ViewKey key, Rect frame = Rect());
  ~Label() override;

  // UTF-8.
  const std::string& text() const { return text_; }
  void setText(std::string text) { text_ = std::move(text); }

  // Black unless set.
  Color textColor() const { return textColor_; }
  void setTextColor(Color color) { textColor_ = color; }

  // The system font at labelFontSize() unless set.
  Font font() const { return font_; }
  void setFont(Font font) { font_ = font; }

  // truncatingTail unless set.
  LineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(LineBreakMode mode) { lineBreakMode_ = mode; }

  // Whether the renderer may shrink the font so the text fits the width.
  // False unless set.
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
  void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }

 private:
  std::string text_;
  Color textColor_ = Color::black();
  Font font_ = Font::systemFont(Font::labelFontSize());
  LineBreakMode lineBreakMode_ = LineBreakMode::truncatingTail;
  bool adjustsFontSizeToFitWidth_ = false;
};

}  // namespace ovix::ui

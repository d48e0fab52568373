// The status picture, result captions, colour swatch and progress bar.
#pragma once

#include <functional>
#include <string>

#include "imaging/frame.h"
#include "imaging/picture.h"
#include "imaging/text_port.h"

namespace snapdeck {

struct CaptionColors {
  Rgb background;
  Rgb text;
  Rgb accent1;
  Rgb accent2;
};

// The fixed caption colour sets of the status line.
CaptionColors SnapdeckCaptionColors();  // " Snapdeck "
CaptionColors WaitCaptionColors();      // " wait... "
CaptionColors FailCaptionColors();      // every failure caption

// p becomes a w x h picture with the caption centred on a gradient label, the
// password mark at (w - 30, 10) when given, then framed: (w + 2t) x (h + 2t).
void RenderStatusPicture(Picture& p, int w, int h, const std::u16string& caption,
                         const CaptionColors& colors, const FrameStyle& frame, TextPort& text,
                         const Picture* passwordMark);

// Two centred caption labels on the existing picture, then the frame.
void DrawResultCaption(Picture& p, const std::u16string& line1, const std::u16string& line2,
                       Rgb textColor, Rgb accent1, Rgb accent2, const FrameStyle& frame,
                       TextPort& text);

// Picture 26: the frame colour, "off" written on it when the thickness is 0.
void DrawColorSwatch(Picture& swatch, Rgb color, int thickness, TextPort& text);

// The main window's progress picture and its last knob position.
class ProgressBar {
 public:
  // show is called after every redraw with the new picture (it shows it and
  // processes one pending window event).
  explicit ProgressBar(std::function<void(const Picture&)> show) : show_(std::move(show)) {}
  void setWidth(int barWidth) { width_ = barWidth; }
  int width() const { return width_; }
  int lastX() const { return lastX_; }
  const Picture& picture() const { return picture_; }
  // Redraws at v / m of the width; v = -1 redraws at the last position. Returns
  // true when it drew.
  bool draw(double m, double v);

 private:
  std::function<void(const Picture&)> show_;
  Picture picture_;
  int width_ = 400;
  int lastX_ = 0;
};

}  // namespace snapdeck

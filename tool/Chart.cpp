#include "Chart.h"

#include <WQCommon/Text.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace wqtool {
namespace {

// The canvas and its plot area, in pixels.
constexpr double kWidth = 960;
constexpr double kHeight = 540;
// The least room left of the plot area, for the y axis's ticks and title.
constexpr double kLeastLeft = 96;
constexpr double kRight = kWidth - 24;
constexpr double kTop = 64;
constexpr double kBottom = kHeight - 64;

constexpr int kTitleSize = 15;
constexpr int kTextSize = 12;
constexpr int kLabelSize = 11;
// Where the y axis's title runs, and the gap between its glyphs and the tick texts.
constexpr double kYTitleBaseline = 22;
constexpr double kYTitleGap = 10;
// A share of the x range added at each end, so that no point lies on an axis line.
constexpr double kXMargin = 0.02;
// Circles for up to this many points; more are drawn as a rug of ticks along the x axis, as a
// circle a few pixels apart from the next would make a pale band of them.
constexpr std::size_t kMostMarkers = 100;
constexpr double kRugHeight = 8;
// The mean advance of a character of the sans-serif fonts, in font sizes: enough to keep labels
// apart without measuring them.
constexpr double kCharacterWidth = 0.62;

constexpr wchar_t kAxisColour[] = L"#444444";
constexpr wchar_t kGridColour[] = L"#e4e4e4";

std::wstring Number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring Pixel(double value) { return Number(value, 1); }

// A tick value: with thin spaces between groups of three digits from 10,000 on.
std::wstring TickText(double value, int decimals) {
  std::wstring text = Number(value, decimals);
  const std::size_t digits = text.find(L'.') == std::wstring::npos ? text.size() : text.find(L'.');
  const std::size_t sign = text[0] == L'-' ? 1 : 0;
  if (digits - sign < 5) return text;
  for (std::size_t at = digits; at > sign + 3; at -= 3) text.insert(at - 3, 1, L'\x2009');
  return text;
}

double TextWidth(const std::wstring& text, int size) {
  return kCharacterWidth * size * static_cast<double>(text.size());
}

// The most ticks an axis takes, and how many are asked for.
constexpr int kMostTicks = 20;
constexpr int kXTicks = 8;
constexpr int kYTicks = 6;

// Whether the range is wide enough for round values between its ends to be told apart: a span of
// a few units in the last place of its ends (a run whose values barely differ) is drawn as one
// value.
bool Resolved(Range range) {
  return range.High - range.Low > 1e-9 * std::max(std::fabs(range.Low), std::fabs(range.High));
}

// The half-width of the range drawn around one value: wide enough to tell round values apart at
// the value's precision.
double HalfWidthAround(double value) { return std::max(0.5, 1e-6 * std::fabs(value)); }

Range Around(double value) {
  return Range{value - HalfWidthAround(value), value + HalfWidthAround(value)};
}

// Round values about `count` of which span `range`: steps of 1, 2 or 5 times a power of ten.
double TickStep(Range range, int count) {
  const double raw = (range.High - range.Low) / count;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / magnitude;
  return magnitude * (fraction < 1.5 ? 1 : fraction < 3 ? 2 : fraction < 7 ? 5 : 10);
}

// Counted rather than stepped: adding a step too small for the value's precision would not move.
std::vector<double> Ticks(Range range, double step) {
  std::vector<double> ticks;
  const double first = std::ceil(range.Low / step);
  for (int i = 0; i <= kMostTicks && (first + i) * step <= range.High + step * 1e-9; ++i) {
    const double tick = (first + i) * step;
    ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
  }
  return ticks;
}

int DecimalsOf(double step) { return std::max(0, -static_cast<int>(std::floor(std::log10(step)))); }

// The width of the widest tick text of an axis over `range` with about `count` ticks.
double WidestTick(Range range, int count) {
  const double step = TickStep(range, count);
  double widest = 0.0;
  for (double tick : Ticks(range, step))
    widest = std::max(widest, TextWidth(TickText(tick, DecimalsOf(step)), kTextSize));
  return widest;
}

// The line's points as drawn in one pixel column: the first, lowest, highest and last, in order.
void KeepExtremes(const std::vector<Point>& column, std::vector<Point>& kept) {
  if (column.empty()) return;
  const auto [lowest, highest] = std::minmax_element(
      column.begin(), column.end(), [](const Point& a, const Point& b) { return a.Y < b.Y; });
  std::vector<std::size_t> chosen = {0, static_cast<std::size_t>(lowest - column.begin()),
                                     static_cast<std::size_t>(highest - column.begin()),
                                     column.size() - 1};
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  for (std::size_t index : chosen) kept.push_back(column[index]);
}

}  // namespace

Range RangeOf(const std::vector<double>& values) {
  Range range{0.0, 0.0};
  bool any = false;
  for (double value : values) {
    if (!std::isfinite(value)) continue;
    range.Low = any ? std::min(range.Low, value) : value;
    range.High = any ? std::max(range.High, value) : value;
    any = true;
  }
  return Resolved(range) ? range : Around(range.Low);
}

Range HeightRangeOf(const std::vector<double>& values, double headroom) {
  std::vector<double> withZero = values;
  withZero.push_back(0.0);
  Range range = RangeOf(withZero);
  if (range.High <= 0.0) range.High = range.Low + 1.0;
  range.High += headroom * (range.High - range.Low);
  return range;
}

Chart::Chart(const std::wstring& title, Range x, Range y, const std::wstring& xTitle,
             const std::wstring& yTitle)
    : x_(x), y_(y) {
  if (!Resolved(x_)) x_ = Around(x_.Low);
  const double margin = kXMargin * (x_.High - x_.Low);
  x_ = Range{x_.Low - margin, x_.High + margin};
  if (!Resolved(y_)) y_ = Range{y_.Low, y_.Low + 2 * HalfWidthAround(y_.Low)};
  left_ = std::max(kLeastLeft, kYTitleBaseline + kYTitleGap + WidestTick(y_, kYTicks) + 8);
  svg_.StartNode(L"svg");
  svg_.WAttribute(L"xmlns", L"http://www.w3.org/2000/svg");
  svg_.WAttribute(L"width", Number(kWidth, 0));
  svg_.WAttribute(L"height", Number(kHeight, 0));
  svg_.WAttribute(L"viewBox", L"0 0 " + Number(kWidth, 0) + L" " + Number(kHeight, 0));
  svg_.WAttribute(L"font-family", L"DejaVu Sans, Helvetica, Arial, sans-serif");
  svg_.StartNode(L"rect");
  svg_.WAttribute(L"width", L"100%");
  svg_.WAttribute(L"height", L"100%");
  svg_.WAttribute(L"fill", L"white");
  svg_.EndNode();
  svg_.StartNode(L"defs");
  svg_.StartNode(L"clipPath");
  svg_.WAttribute(L"id", L"plot");
  svg_.StartNode(L"rect");
  svg_.WAttribute(L"x", Pixel(left_));
  svg_.WAttribute(L"y", Pixel(kTop));
  svg_.WAttribute(L"width", Pixel(kRight - left_));
  svg_.WAttribute(L"height", Pixel(kBottom - kTop));
  svg_.EndNode();
  svg_.EndNode();
  svg_.EndNode();
  Text(left_, 28, title, L"start", L"black", kTitleSize);
  Axes(xTitle, yTitle);
}

double Chart::PixelX(double x) const {
  return left_ + (x - x_.Low) / (x_.High - x_.Low) * (kRight - left_);
}

double Chart::PixelY(double y) const {
  return kBottom - (y - y_.Low) / (y_.High - y_.Low) * (kBottom - kTop);
}

void Chart::Text(double x, double y, const std::wstring& text, const wchar_t* anchor,
                 const wchar_t* colour, int size) {
  svg_.StartNode(L"text");
  svg_.WAttribute(L"x", Pixel(x));
  svg_.WAttribute(L"y", Pixel(y));
  svg_.WAttribute(L"font-size", std::to_wstring(size));
  svg_.WAttribute(L"text-anchor", anchor);
  svg_.WAttribute(L"fill", colour);
  svg_.WText(WQCommon::WQXmlPrintable(text));
  svg_.EndNode();
}

void Chart::Axes(const std::wstring& xTitle, const std::wstring& yTitle) {
  auto segment = [&](double x1, double y1, double x2, double y2, const wchar_t* colour) {
    svg_.StartNode(L"line");
    svg_.WAttribute(L"x1", Pixel(x1));
    svg_.WAttribute(L"y1", Pixel(y1));
    svg_.WAttribute(L"x2", Pixel(x2));
    svg_.WAttribute(L"y2", Pixel(y2));
    svg_.WAttribute(L"stroke", colour);
    svg_.EndNode();
  };
  const double yStep = TickStep(y_, kYTicks);
  for (double tick : Ticks(y_, yStep)) {
    const double y = PixelY(tick);
    segment(left_, y, kRight, y, kGridColour);
    segment(left_ - 5, y, left_, y, kAxisColour);
    Text(left_ - 8, y + 4, TickText(tick, DecimalsOf(yStep)), L"end", kAxisColour, kTextSize);
  }
  const double xStep = TickStep(x_, kXTicks);
  for (double tick : Ticks(x_, xStep)) {
    const double x = PixelX(tick);
    segment(x, kBottom, x, kBottom + 5, kAxisColour);
    Text(x, kBottom + 20, TickText(tick, DecimalsOf(xStep)), L"middle", kAxisColour, kTextSize);
  }
  segment(left_, kBottom, kRight, kBottom, kAxisColour);
  segment(left_, kTop, left_, kBottom, kAxisColour);
  Text((left_ + kRight) / 2, kHeight - 18, xTitle, L"middle", L"black", kTextSize + 1);
  svg_.StartNode(L"g");
  svg_.WAttribute(L"transform", L"translate(" + Pixel(kYTitleBaseline) + L" " +
                                    Pixel((kTop + kBottom) / 2) + L") rotate(-90)");
  Text(0, 0, yTitle, L"middle", L"black", kTextSize + 1);
  svg_.EndNode();
}

void Chart::Band(double x0, double x1, const wchar_t* colour) {
  const double left = PixelX(x0);
  const double width = std::max(PixelX(x1) - left, 2.0);
  svg_.StartNode(L"rect");
  svg_.WAttribute(L"x", Pixel(left - (PixelX(x1) - left < 2.0 ? 1.0 : 0.0)));
  svg_.WAttribute(L"y", Pixel(kTop));
  svg_.WAttribute(L"width", Pixel(width));
  svg_.WAttribute(L"height", Pixel(kBottom - kTop));
  svg_.WAttribute(L"fill", colour);
  svg_.WAttribute(L"fill-opacity", L"0.18");
  svg_.WAttribute(L"clip-path", L"url(#plot)");
  svg_.EndNode();
}

void Chart::Line(const std::vector<Point>& points, const wchar_t* colour, bool dashed) {
  std::vector<Point> kept;
  std::vector<Point> column;
  double columnPixel = 0.0;
  for (const Point& point : points) {
    const double pixel = std::floor(PixelX(point.X));
    if (!column.empty() && pixel != columnPixel) {
      KeepExtremes(column, kept);
      column.clear();
    }
    columnPixel = pixel;
    column.push_back(point);
  }
  KeepExtremes(column, kept);
  if (kept.empty()) return;
  std::wstring path;
  for (const Point& point : kept) {
    path += (path.empty() ? L"" : L" ") + Pixel(PixelX(point.X)) + L"," + Pixel(PixelY(point.Y));
  }
  svg_.StartNode(L"polyline");
  svg_.WAttribute(L"points", path);
  svg_.WAttribute(L"fill", L"none");
  svg_.WAttribute(L"stroke", colour);
  svg_.WAttribute(L"stroke-width", dashed ? L"1.5" : L"1");
  if (dashed) svg_.WAttribute(L"stroke-dasharray", L"6 4");
  svg_.WAttribute(L"stroke-linejoin", L"round");
  svg_.WAttribute(L"clip-path", L"url(#plot)");
  svg_.EndNode();
}

void Chart::Sticks(const std::vector<Point>& points, const wchar_t* colour) {
  std::wstring path;
  for (const Point& point : points) {
    path += (path.empty() ? L"M" : L" M") + Pixel(PixelX(point.X)) + L" " +
            Pixel(PixelY(std::max(y_.Low, 0.0))) + L" V" + Pixel(PixelY(point.Y));
  }
  if (path.empty()) return;
  svg_.StartNode(L"path");
  svg_.WAttribute(L"d", path);
  svg_.WAttribute(L"stroke", colour);
  svg_.WAttribute(L"clip-path", L"url(#plot)");
  svg_.EndNode();
}

Chart::Sample Chart::Markers(const std::vector<Point>& points, const wchar_t* colour) {
  if (points.size() > kMostMarkers) {
    Rug(points, colour);
    return Sample::Rug;
  }
  svg_.StartNode(L"g");
  svg_.WAttribute(L"fill", colour);
  svg_.WAttribute(L"stroke", L"white");
  svg_.WAttribute(L"stroke-width", L"0.8");
  svg_.WAttribute(L"clip-path", L"url(#plot)");
  for (const Point& point : points) {
    const double x = PixelX(point.X);
    const double y = PixelY(point.Y);
    occupied_.push_back(Box{x - 3, y - 3, x + 3, y + 3});
    svg_.StartNode(L"circle");
    svg_.WAttribute(L"cx", Pixel(x));
    svg_.WAttribute(L"cy", Pixel(y));
    svg_.WAttribute(L"r", L"3");
    svg_.EndNode();
  }
  svg_.EndNode();
  return Sample::Marker;
}

// A tick up from the x axis at each point, one per pixel column: its size does not grow with the
// number of points either.
void Chart::Rug(const std::vector<Point>& points, const wchar_t* colour) {
  std::wstring path;
  double last = -1.0;
  for (const Point& point : points) {
    const double pixel = std::floor(PixelX(point.X));
    if (pixel == last) continue;
    last = pixel;
    path += (path.empty() ? L"M" : L" M") + Pixel(pixel + 0.5) + L" " + Pixel(kBottom) + L" v-" +
            Pixel(kRugHeight);
  }
  if (path.empty()) return;
  occupied_.push_back(Box{left_, kBottom - kRugHeight, kRight, kBottom});
  svg_.StartNode(L"path");
  svg_.WAttribute(L"d", path);
  svg_.WAttribute(L"stroke", colour);
  svg_.WAttribute(L"clip-path", L"url(#plot)");
  svg_.EndNode();
}

std::size_t Chart::Labels(const std::vector<std::pair<Point, std::wstring>>& labels,
                          const wchar_t* colour) {
  std::size_t placed = 0;
  for (const auto& [point, text] : labels)
    if (Label(PixelX(point.X), PixelY(point.Y), text, colour)) ++placed;
  return placed;
}

bool Chart::Label(double pointX, double pointY, const std::wstring& text, const wchar_t* colour) {
  const double width = TextWidth(text, kLabelSize);
  // Above the point, then beside it to the right and to the left, a line higher each time.
  for (int raised = 0; raised <= 3; ++raised) {
    const double baseline = pointY - 8 - raised * (kLabelSize + 3);
    for (const double shift : {0.0, 0.75 * width, -0.75 * width, 1.5 * width, -1.5 * width}) {
      const double x = std::clamp(pointX + shift, left_ + width / 2, kRight - width / 2);
      const Box box{x - width / 2 - 2, baseline - kLabelSize, x + width / 2 + 2, baseline + 3};
      if (box.Top < kTop || baseline > kBottom) return false;
      if (Overlaps(box)) continue;
      // A label moved off its place points to its point, so that in a cluster it is clear whose
      // it is; its line crosses nothing placed before, and nothing placed after crosses it.
      const Segment leader{x, baseline + 3, pointX, pointY - 4};
      const bool moved = raised > 0 || std::fabs(x - pointX) > width / 4;
      if (moved && !Clear(leader)) continue;
      if (moved) {
        Leader(leader, colour);
        leaders_.push_back(leader);
      }
      occupied_.push_back(box);
      Text(x, baseline, text, L"middle", colour, kLabelSize);
      return true;
    }
  }
  return false;
}

bool Chart::Overlaps(const Box& box) const {
  const auto inside = [&box](double x, double y) {
    return box.Left < x && x < box.Right && box.Top < y && y < box.Bottom;
  };
  return std::any_of(occupied_.begin(), occupied_.end(),
                     [&](const Box& other) {
                       return box.Left < other.Right && other.Left < box.Right &&
                              box.Top < other.Bottom && other.Top < box.Bottom;
                     }) ||
         std::any_of(leaders_.begin(), leaders_.end(),
                     [&](const Segment& leader) { return Along(leader, inside); });
}

bool Chart::Clear(const Segment& leader) const {
  return !Along(leader, [this](double x, double y) {
    return std::any_of(occupied_.begin(), occupied_.end(), [&](const Box& box) {
      return box.Left < x && x < box.Right && box.Top < y && y < box.Bottom;
    });
  });
}

bool Chart::Along(const Segment& segment, const std::function<bool(double, double)>& hit) {
  // Points a pixel apart: finer than any box a label or marker takes.
  const double length = std::hypot(segment.X2 - segment.X1, segment.Y2 - segment.Y1);
  const int steps = std::max(1, static_cast<int>(std::ceil(length)));
  for (int step = 0; step <= steps; ++step) {
    const double t = static_cast<double>(step) / steps;
    if (hit(segment.X1 + t * (segment.X2 - segment.X1), segment.Y1 + t * (segment.Y2 - segment.Y1)))
      return true;
  }
  return false;
}

void Chart::Leader(const Segment& leader, const wchar_t* colour) {
  svg_.StartNode(L"line");
  svg_.WAttribute(L"x1", Pixel(leader.X1));
  svg_.WAttribute(L"y1", Pixel(leader.Y1));
  svg_.WAttribute(L"x2", Pixel(leader.X2));
  svg_.WAttribute(L"y2", Pixel(leader.Y2));
  svg_.WAttribute(L"stroke", colour);
  svg_.WAttribute(L"stroke-width", L"0.6");
  svg_.EndNode();
}

void Chart::Legend(Sample sample, const wchar_t* colour, const std::wstring& text) {
  // The legend runs along the line under the title.
  const double y = 48;
  double x = left_;
  for (const Box& entry : legend_) x = std::max(x, entry.Right + 18);
  if (sample == Sample::Rug) {
    std::wstring path;
    for (double tick = x + 4; tick <= x + 20; tick += 4)
      path += (path.empty() ? L"M" : L" M") + Pixel(tick) + L" " + Pixel(y) + L" v-" +
              Pixel(kRugHeight);
    svg_.StartNode(L"path");
    svg_.WAttribute(L"d", path);
    svg_.WAttribute(L"stroke", colour);
    svg_.EndNode();
  } else if (sample == Sample::Marker) {
    svg_.StartNode(L"circle");
    svg_.WAttribute(L"cx", Pixel(x + 12));
    svg_.WAttribute(L"cy", Pixel(y - 4));
    svg_.WAttribute(L"r", L"3");
    svg_.WAttribute(L"fill", colour);
    svg_.EndNode();
  } else {
    svg_.StartNode(L"line");
    svg_.WAttribute(L"x1", Pixel(x));
    svg_.WAttribute(L"y1", Pixel(y - 4));
    svg_.WAttribute(L"x2", Pixel(x + 24));
    svg_.WAttribute(L"y2", Pixel(y - 4));
    svg_.WAttribute(L"stroke", colour);
    svg_.WAttribute(L"stroke-width", L"1.5");
    if (sample == Sample::Dashed) svg_.WAttribute(L"stroke-dasharray", L"6 4");
    svg_.EndNode();
  }
  Text(x + 30, y, text, L"start", L"black", kTextSize);
  legend_.push_back(Box{x, y - kTextSize, x + 30 + TextWidth(text, kTextSize), y});
}

void Chart::Write(std::ostream& out) {
  svg_.EndNode();
  svg_.Write(out);
}

}  // namespace wqtool

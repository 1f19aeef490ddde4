// Line charts as SVG, written through the toolkit's XML builder: a plot area with axes, ticks and
// axis titles, into which lines, markers, shaded bands and labels are drawn in data coordinates.
#pragma once

#include <WQCommon/XML.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace wqtool {

struct Point {
  double X = 0.0;
  double Y = 0.0;
};

struct Range {
  double Low = 0.0;
  double High = 0.0;
};

// The range from the least to the greatest finite value of `values`, ignoring the rest. A range
// of one value, or of none, is widened so that it has a span.
Range RangeOf(const std::vector<double>& values);
// The range of heights `values` on a chart: from zero (or below, for a negative value) to the
// greatest, with `headroom` (a share of that span) added at the top.
Range HeightRangeOf(const std::vector<double>& values, double headroom);

// A chart being drawn. Text that XML cannot carry (control characters) is drawn as U+FFFD.
class Chart {
 public:
  Chart(const std::wstring& title, Range x, Range y, const std::wstring& xTitle,
        const std::wstring& yTitle);

  // A shaded column of the plot area from x0 to x1.
  void Band(double x0, double x1, const wchar_t* colour);
  // A line through `points` in x order, thinned to what the canvas can show: of the points in
  // one pixel column, the first, the lowest, the highest and the last. It looks the same as the
  // whole line, and its size does not grow with the number of points.
  void Line(const std::vector<Point>& points, const wchar_t* colour, bool dashed);
  // An entry of the legend, which runs under the title: a sample of a line, a dashed line, a
  // marker or a rug in `colour`, then `text`.
  enum class Sample { Line, Dashed, Marker, Rug };
  void Legend(Sample sample, const wchar_t* colour, const std::wstring& text);
  // A small circle at each point where they are few; where they are many, a tick up from the x
  // axis at each (a rug), which stays legible however many there are. Labels placed afterwards
  // keep clear of either. Gives which was drawn, for the legend.
  Sample Markers(const std::vector<Point>& points, const wchar_t* colour);
  // Each text centred above its point, in the order given; where it would cover a marker, a text
  // or a leader line placed before, beside it or up to three lines higher, with a leader line from
  // it to its point; left out where it still would. Gives how many were placed.
  std::size_t Labels(const std::vector<std::pair<Point, std::wstring>>& labels,
                     const wchar_t* colour);

  // Sticks from zero up to each point, as a spectrum of centroids is drawn.
  void Sticks(const std::vector<Point>& points, const wchar_t* colour);

  // Writes the document, complete: nothing may be drawn afterwards.
  void Write(std::ostream& out);

 private:
  double PixelX(double x) const;
  double PixelY(double y) const;
  void Axes(const std::wstring& xTitle, const std::wstring& yTitle);
  void Text(double x, double y, const std::wstring& text, const wchar_t* anchor,
            const wchar_t* colour, int size);
  void Rug(const std::vector<Point>& points, const wchar_t* colour);
  bool Label(double pointX, double pointY, const std::wstring& text, const wchar_t* colour);

  struct Box {
    double Left, Top, Right, Bottom;
  };
  struct Segment {
    double X1, Y1, X2, Y2;
  };
  void Leader(const Segment& leader, const wchar_t* colour);
  // Whether `box` overlaps a marker or label, or a leader line crosses it.
  bool Overlaps(const Box& box) const;
  // Whether `leader` crosses no marker or label.
  bool Clear(const Segment& leader) const;
  // Whether `hit` holds at some point along `segment`, looked at a pixel apart.
  static bool Along(const Segment& segment, const std::function<bool(double, double)>& hit);

  WQCommon::XMLBuilder svg_;
  Range x_;
  Range y_;
  double left_ = 0.0;          // the plot area's left edge: room for the widest y tick text
  std::vector<Box> occupied_;  // by the markers and labels drawn so far
  std::vector<Segment> leaders_;
  std::vector<Box> legend_;
};

}  // namespace wqtool

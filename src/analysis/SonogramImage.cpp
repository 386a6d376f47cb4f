// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SonogramImage.h"

#include "analysis/PictureFont.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <set>

namespace {
constexpr int Left = 56, Top = 24, Bottom = 28, Right = 92;
constexpr TRgb Background{16, 16, 16}, Ink{208, 208, 208};
constexpr float LowestDb = -120;

// Dark to bright through violet, red and yellow: the quiet floor stays near black and
// each 20 dB step changes hue.
constexpr std::array<std::pair<float, TRgb>, 7> Palette = {{{0.00f, {0, 0, 0}},
                                                            {0.15f, {20, 0, 60}},
                                                            {0.35f, {110, 0, 140}},
                                                            {0.55f, {220, 30, 60}},
                                                            {0.75f, {250, 140, 0}},
                                                            {0.90f, {255, 230, 60}},
                                                            {1.00f, {255, 255, 255}}}};

TRgb ColourOf(float levelDb) {
  const float t = std::clamp((levelDb - LowestDb) / -LowestDb, 0.0f, 1.0f);
  std::size_t i = 1;
  while (i + 1 < Palette.size() && t > Palette[i].first)
    ++i;
  const auto& [t0, low] = Palette[i - 1];
  const auto& [t1, high] = Palette[i];
  const float f = (t - t0) / (t1 - t0);
  const auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(static_cast<float>(a) + (b - a) * f + 0.5f);
  };
  return {mix(low.R, high.R), mix(low.G, high.G), mix(low.B, high.B)};
}

std::string TimeText(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// Whether a picture's scale (its seconds, its top frequency) can be drawn: positive and finite.
bool Drawable(double scale) {
  return scale > 0 && std::isfinite(scale);
}

// The ticks of an axis are bounded by the picture's width, whatever the scale says.
constexpr int MostTicks = 64;

void DrawFrequencyAxis(TRgbImage& image, double nyquist) {
  if (!Drawable(nyquist))
    return;
  const double step = nyquist <= 24000 ? 2000 : nyquist <= 50000 ? 5000 : 10000;
  for (int tick = 0; tick <= MostTicks && tick * step <= nyquist; ++tick) {
    const double hz = tick * step;
    const int y = Top + static_cast<int>(SonogramRows) - 1 -
                  static_cast<int>(std::lround(hz / nyquist * (SonogramRows - 1)));
    image.Fill(Left - 4, y, 4, 1, Ink);
    const std::string label = std::to_string(static_cast<int>(hz / 1000)) + " kHz";
    DrawPictureText(image, Left - 6 - PictureTextWidth(label), y - GlyphHeight / 2, label, Ink);
  }
}

void DrawTimeAxis(TRgbImage& image, double seconds) {
  constexpr std::array<double, 13> Steps = {1,   2,   5,   10,  15,   30,  60,
                                            120, 300, 600, 900, 1800, 3600};
  if (!Drawable(seconds))
    return;
  const double step = *std::find_if(Steps.begin(), Steps.end() - 1,
                                    [seconds](double s) { return seconds / s <= 10; });
  const int y = Top + static_cast<int>(SonogramRows);
  for (int tick = 0; tick <= MostTicks && tick * step <= seconds; ++tick) {
    const double t = tick * step;
    const int x = Left + static_cast<int>(std::lround(t / seconds * (SonogramColumns - 1)));
    image.Fill(x, y, 1, 4, Ink);
    const std::string label = TimeText(t);
    DrawPictureText(image, std::clamp(x - PictureTextWidth(label) / 2, 0, image.Width - 1), y + 6,
                    label, Ink);
  }
}

void DrawLegend(TRgbImage& image) {
  const int x = Left + static_cast<int>(SonogramColumns) + 12;
  for (unsigned row = 0; row < SonogramRows; ++row) {
    const float level = LowestDb * static_cast<float>(row) / (SonogramRows - 1);
    image.Fill(x, Top + static_cast<int>(row), 16, 1, ColourOf(level));
  }
  for (int db = 0; db >= LowestDb; db -= 20) {
    const int y = Top + static_cast<int>(std::lround(db / LowestDb * (SonogramRows - 1)));
    image.Fill(x + 16, y, 4, 1, Ink);
    DrawPictureText(image, x + 22, y - GlyphHeight / 2, std::to_string(db) + " dB", Ink);
  }
}

// The caption cut to the picture's width, with "..." where it was cut.
std::string Fitted(std::string_view caption, int width) {
  std::string text(caption);
  while (PictureTextWidth(text) > width && !text.empty()) {
    text.pop_back();
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
      text.pop_back();
    if (PictureTextWidth(text + "...") <= width)
      return text + "...";
  }
  return text;
}
} // namespace

TRgbImage DrawSonogram(const TSonogram& sonogram, std::string_view caption) {
  TRgbImage image(Left + static_cast<int>(SonogramColumns) + Right,
                  Top + static_cast<int>(SonogramRows) + Bottom, Background);
  DrawPictureText(image, Left, 5, Fitted(caption, image.Width - Left - 8), Ink);
  if (sonogram.Columns > 0 && sonogram.Rows > 0)
    for (unsigned x = 0; x < SonogramColumns; ++x) {
      const unsigned column = x * sonogram.Columns / SonogramColumns;
      for (unsigned y = 0; y < SonogramRows; ++y) {
        const unsigned row = (SonogramRows - 1 - y) * sonogram.Rows / SonogramRows;
        image.Set(Left + static_cast<int>(x), Top + static_cast<int>(y),
                  ColourOf(sonogram.At(column, row)));
      }
    }
  // An album's tracks begin at the marks above the plot.
  for (const double start : sonogram.Starts)
    if (Drawable(sonogram.Seconds) && start >= 0 && start <= sonogram.Seconds)
      image.Fill(
          Left + static_cast<int>(std::lround(start / sonogram.Seconds * (SonogramColumns - 1))),
          Top - 5, 1, 5, Ink);
  DrawFrequencyAxis(image, sonogram.SampleRate / 2.0);
  DrawTimeAxis(image, sonogram.Seconds);
  DrawLegend(image);
  return image;
}

std::string SonogramPng(const TSonogram& sonogram, std::string_view caption) {
  return EncodePng(DrawSonogram(sonogram, caption));
}

namespace {
// The length of the folder part ("a/b/") that every path begins with.
std::size_t SharedFolderLength(const std::vector<std::string>& paths) {
  const std::string& first = paths.front();
  std::size_t same = first.size();
  for (const std::string& path : paths) {
    std::size_t i = 0;
    while (i < same && i < path.size() && path[i] == first[i])
      ++i;
    same = i;
  }
  const std::size_t slash = same == 0 ? std::string::npos : first.rfind('/', same - 1);
  return slash == std::string::npos ? 0 : slash + 1;
}

// The track's folders below the shared one and its name without its extension, joined by
// "-"; "." and ".." steps and empty ones left out, so that no name starts hidden or as an
// option would ("..-alb-x.png", "-tmp-x.png").
std::string StemBelow(const std::string& path, std::size_t folderLength) {
  std::string stem;
  for (std::size_t start = folderLength; start < path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    std::string step = path.substr(start, end - start);
    if (end == path.size()) // the file's own name
      if (const std::size_t dot = step.rfind('.'); dot != std::string::npos && dot > 0)
        step.erase(dot);
    if (!step.empty() && step != "." && step != "..")
      stem += (stem.empty() ? "" : "-") + step;
    start = end + 1;
  }
  return stem.empty() ? "track" : stem;
}
} // namespace

std::vector<std::string> SonogramFileNames(const std::vector<std::string>& trackPaths) {
  std::vector<std::string> names;
  if (trackPaths.empty())
    return names;
  const std::size_t folder = SharedFolderLength(trackPaths);
  std::set<std::string> taken = {std::string(AlbumSonogramName)};
  for (const std::string& path : trackPaths) {
    const std::string stem = StemBelow(path, folder);
    std::string name = stem + ".png";
    for (int n = 2; taken.contains(name); ++n)
      name = stem + "-" + std::to_string(n) + ".png";
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

#include <cstdlib>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "chart/chart_data.h"
#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/drawing_application.h"
#include "cli/exit_codes.h"
#include "data/data_file_reader.h"

namespace rx::cli {
namespace {

constexpr int kMinSide = 100;
constexpr int kMaxSide = 8000;  // a PNG of 8000x8000 already takes 256 MB to draw

struct PlotOptions {
  std::string file;
  std::string output;
  std::vector<int> channels;
  std::string size =
      std::to_string(kDefaultChartSize.width()) + "x" + std::to_string(kDefaultChartSize.height());
};

// "WIDTHxHEIGHT" in pixels; empty when the text is not one.
std::optional<QSize> ParseSize(const std::string& text) {
  static const std::regex pattern("([0-9]{1,5})[xX]([0-9]{1,5})");
  std::smatch match;
  if (!std::regex_match(text, match, pattern)) return std::nullopt;
  const int width = std::stoi(match[1]), height = std::stoi(match[2]);
  if (width < kMinSide || width > kMaxSide || height < kMinSide || height > kMaxSide) {
    return std::nullopt;
  }
  return QSize(width, height);
}

std::string Counted(size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

int Plot(const PlotOptions& options) {
  const std::unique_ptr<QApplication> application = StartDrawing();

  const std::vector<int16_t> channels(options.channels.begin(), options.channels.end());
  ChartDataBuilder builder(channels);
  int32_t records = 0;
  try {
    records = ForEachReading(options.file, [&](const Reading& reading) { builder.Add(reading); });
  } catch (const DataFileError& e) {
    std::cerr << "rx7731-cli: " << e.what() << "\n";
    return kExitFailure;
  }
  ChartData data = builder.Finish();
  if (data.series.empty() && !channels.empty()) {
    return NoReadingsOnChannels(options.file, options.channels);
  }
  if (data.series.empty()) {
    std::cerr << "rx7731-cli: " << options.file << " holds no readings with a value to plot\n";
    return kExitFailure;
  }

  size_t points = 0;
  for (const ChartSeries& s : data.series) points += s.points;
  const size_t series = data.series.size();
  // Every time record is a marker.
  const std::string count = RecordCountText(records, static_cast<int64_t>(data.markers.size()));
  try {
    SaveReadingsChart(std::move(data), options.file, *ParseSize(options.size),
                      QString::fromStdString(options.output));
  } catch (const ChartImageError& e) {
    std::cerr << "rx7731-cli: " << e.what() << "\n";
    return kExitFailure;
  }
  std::cout << options.output << ": " << Counted(points, "reading") << " with a value in " << series
            << " series, from " << count << "\n";
  return kExitOk;
}

}  // namespace

void AddPlotCommand(CLI::App& app, int& exit_code) {
  CLI::App* command = app.add_subcommand(
      "plot", "Draws the readings of a data file as a chart, one line per channel and unit.");
  auto options = std::make_shared<PlotOptions>();
  command->add_option("FILE", options->file, "the data file")->required();
  AddOutputOption(*command, options->output, "the image to write: its name ends in .svg or .png")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& path) -> std::string {
            if (ChartImageFormatFor(QString::fromStdString(path))) return {};
            return "the output's name must end in .svg or .png: " + path;
          },
          "OUT.svg|OUT.png"));
  AddChannelOption(*command, options->channels,
                   "plot only this channel's readings (repeat for more channels)");
  command
      ->add_option("--size", options->size,
                   "the image's size in pixels, each side " + std::to_string(kMinSide) + " to " +
                       std::to_string(kMaxSide))
      ->capture_default_str()
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            if (ParseSize(text)) return {};
            return "the size must be WIDTHxHEIGHT in pixels, each side " +
                   std::to_string(kMinSide) + " to " + std::to_string(kMaxSide) + ": " + text;
          },
          "WIDTHxHEIGHT"));
  command->callback([options, &exit_code] { exit_code = Plot(*options); });
}

}  // namespace rx::cli

#include "host/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "host/band_file.h"
#include "host/version.h"

namespace {

// "WxH" with both sides in range.
bool ParseScreen(const std::string& text, int& width, int& height) {
  int w = 0, h = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || (x != 'x' && x != 'X'))
    return false;
  if (w < 1 || h < 1 || w > MaxPictureSide || h > MaxPictureSide)
    return false;
  width = w;
  height = h;
  return true;
}

// "X,Y": two finite numbers.
bool ParsePoint(const std::string& text, double& x, double& y) {
  char extra = 0;
  return std::sscanf(text.c_str(), "%lf,%lf%c", &x, &y, &extra) == 2 && std::isfinite(x) && std::isfinite(y);
}

}  // namespace

CommandLineResult ParseCommandLine(int argc, const char* const* argv, RenderRequest& request, std::string& message) {
  CLI::App app{"orvelle2 renders landscape files into pictures.", "orvelle2"};
  app.set_version_flag("--version", std::string("orvelle2 ") + OrvelleVersion);
  std::string screen;
  app.add_option("landscape", request.landscape, "Landscape file (JSON); without one the default landscape");
  app.add_flag("-r", request.render, "Render the landscape (what orvelle2 always does)");
  app.add_option("-o,--output", request.output,
                 "Picture file (.bmp, .png or .jpg); default: the landscape's name with .png, in the current folder");
  app.add_flag("-m", request.resume, "Resume an interrupted render from its checkpoint");
  app.add_option("-x,--width", request.width, "Picture width in pixels")->check(CLI::Range(1, MaxPictureSide));
  app.add_option("-y,--height", request.height, "Picture height in pixels")->check(CLI::Range(1, MaxPictureSide));
  app.add_flag("-f", request.fullScreen, "Make the picture as large as the screen allows, keeping its aspect ratio");
  app.add_option("-q,--quality", request.quality,
                 "Quality: 0 draft (sketch), 1 normal (preview), 2 good (final, antialiased), 3 best (ultra), "
                 "4 custom (the landscape's CustomQuality)")
      ->check(CLI::Range(0, 4));
  app.add_option("--threads", request.threads, "Render threads (default: every core)")
      ->check(CLI::Range(1, MaxThreads));
  app.add_flag("--quiet", request.quiet, "No progress display");
  app.add_option("--screen", screen, "Screen size that -f fills, as WxH (default 1920x1080)");
  app.add_option("--views", request.views,
                 "Draw the four wireframe views as PREFIX-camera.png, -top, -front and -side instead of rendering");
  app.add_option("--view-detail", request.viewDetail,
                 "Wireframe detail: 0 boxes only, 1 finest (default), larger coarser")
      ->check(CLI::Range(0, 1000));
  app.add_option("--select", request.selected, "Draw the objects of this name as selected in the views (repeatable)")
      ->allow_extra_args(false);
  app.add_option("--ghost", request.ghosts, "Draw the objects of this name as ghosts in the views (repeatable)")
      ->allow_extra_args(false);
  std::string ground;
  app.add_option("--ground", ground, "Print the ground's altitude at X,Y (world units) and exit");
  CLI::Option* plant = app.add_option("--plant", request.plant,
                                      "Print the description string of a plant of species MODEL (0 to 17) and exit")
                           ->check(CLI::Range(0, 17));
  app.add_option("--seed", request.plantSeed, "Random seed of --plant (default 1)")->needs(plant);
  std::string rows;
  app.add_option("--rows", rows, "Render only rows FIRST:COUNT (from 0) into the band file given by -o");
  app.add_option("--merge", request.merge, "Merge band files (from --rows) into the picture given by -o")
      ->expected(1, -1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    message = app.help();
    return CommandLineResult::Exit;
  } catch (const CLI::CallForVersion&) {
    message = std::string("orvelle2 ") + OrvelleVersion + "\n";
    return CommandLineResult::Exit;
  } catch (const CLI::ParseError& e) {
    message = e.what();
    return CommandLineResult::Error;
  }
  if (!screen.empty() && !ParseScreen(screen, request.screenWidth, request.screenHeight)) {
    message =
        "--screen: expected WxH with sides from 1 to " + std::to_string(MaxPictureSide) + ", got '" + screen + "'";
    return CommandLineResult::Error;
  }
  if (!ground.empty()) {
    if (!ParsePoint(ground, request.groundX, request.groundY)) {
      message = "--ground: expected X,Y (two numbers), got '" + ground + "'";
      return CommandLineResult::Error;
    }
    request.groundQuery = true;
  }
  if (!rows.empty() && !ParseRowRange(rows, request.firstRow, request.rowCount)) {
    message = "--rows: expected FIRST:COUNT (first row from 0, at least one row), got '" + rows + "'";
    return CommandLineResult::Error;
  }
  if ((request.rowCount > 0 || !request.merge.empty()) && request.output.empty()) {
    message =
        request.rowCount > 0 ? "--rows needs the band file to write (-o)" : "--merge needs the picture to write (-o)";
    return CommandLineResult::Error;
  }
  if (!request.merge.empty() && (request.rowCount > 0 || !request.landscape.empty())) {
    message = "--merge takes band files only (no landscape, no --rows)";
    return CommandLineResult::Error;
  }
  return CommandLineResult::Run;
}

std::string OutputPath(const RenderRequest& request) {
  std::string path = request.output;
  if (path.empty()) {
    std::filesystem::path name(request.landscape.empty() ? std::string("landscape") : request.landscape);
    path = name.filename().replace_extension(".png").string();
  }
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

void FitToScreen(const RenderRequest& request, int& width, int& height) {
  if (width < 1 || height < 1)
    return;
  const double scale =
      std::min(static_cast<double>(request.screenWidth) / width, static_cast<double>(request.screenHeight) / height);
  width = std::max(1, static_cast<int>(width * scale));
  height = std::max(1, static_cast<int>(height * scale));
}

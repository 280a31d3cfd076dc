// orvelle2's command line: the switches the batch renderer passes (-r -o<file> -m -x<n>
// -y<n> -f -q<n>, values attached or separate) and the long options.
#pragma once

#include <string>
#include <vector>

struct RenderRequest {
  std::string landscape;        // empty: the embedded default landscape
  bool render = false;          // -r (rendering is what orvelle2 does; accepted for the batch renderer)
  std::string output;           // -o / --output; empty: the landscape's name with .png
  bool resume = false;          // -m: resume from the checkpoint
  int width = 0;                // -x / --width; 0: the landscape's own size
  int height = 0;               // -y / --height
  bool fullScreen = false;      // -f: as large as the screen allows, keeping the aspect ratio
  int quality = -1;             // -q / --quality 0..4; -1: the landscape's own setting
  int threads = 0;              // --threads; 0: every core
  bool quiet = false;           // --quiet: no progress display
  int screenWidth = 1920;       // --screen WxH: the screen that -f fills
  int screenHeight = 1080;
  bool groundQuery = false;     // --ground X,Y: print the ground's altitude there, render nothing
  double groundX = 0.0, groundY = 0.0;
  int plant = -1;               // --plant MODEL: print a plant's description string instead of rendering
  unsigned plantSeed = 1;       // --seed N: srand(N) before growing it
  std::string views;                  // --views PREFIX: draw the four wireframe views, render nothing
  int viewDetail = 1;                 // --view-detail: 0 boxes only, 1 finest, larger coarser
  std::vector<std::string> selected;  // --select NAME: drawn as selected in the views
  std::vector<std::string> ghosts;    // --ghost NAME: drawn as ghosts in the views
  int firstRow = 0;                // --rows FIRST:COUNT: only these rows, into the band file -o
  int rowCount = 0;                // 0: the whole picture
  std::vector<std::string> merge;  // --merge BANDS...: band files merged into the picture -o
};

// The largest accepted picture side and thread count.
constexpr int MaxPictureSide = 32768;
constexpr int MaxThreads = 256;

enum class CommandLineResult {
  Run,    // the request is complete
  Exit,   // --help or --version was answered: exit with status 0
  Error,  // `message` says what is wrong: exit with status 2
};

// Parses argv into `request`. Help and version texts go to `message` as well.
CommandLineResult ParseCommandLine(int argc, const char* const* argv, RenderRequest& request, std::string& message);

// The output path: the request's, or the landscape's name (or "landscape") with .png in
// the current folder. Backslashes (from lists written for Windows) become slashes.
std::string OutputPath(const RenderRequest& request);

// The picture size -f gives for a picture of width x height on the request's screen.
void FitToScreen(const RenderRequest& request, int& width, int& height);

// What a batch shows while it runs. On a terminal: one line, redrawn in place, with the files
// done and the total, the failures so far, the time taken and an estimate of the time left,
// and the file just started. Elsewhere (a log, a pipe): one plain line per finished file.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

namespace vexmara::cli::batch {

class Progress {
 public:
  Progress(std::ostream& out, bool terminal, int columns);

  // A new stage: `noun` ("models", "animation files") counted up to `total`. Without a
  // terminal, `linePerFile` says whether each finished file gets its line.
  void Begin(const std::string& noun, int total, bool linePerFile);
  void Started(const std::string& file);
  // One file finished; `line` says how (written as it is where there is no terminal).
  void Finished(bool failed, const std::string& line);
  // Redraws the terminal line (at most ten times a second).
  void Tick();
  // Clears the terminal line; what follows starts on a fresh line.
  void End();

  bool terminal() const { return terminal_; }

 private:
  void Draw();

  std::ostream& out_;
  bool terminal_;
  int columns_;
  std::string noun_;
  int total_ = 0;
  bool linePerFile_ = true;
  int done_ = 0;
  int failed_ = 0;
  std::string current_;
  std::chrono::steady_clock::time_point begun_;
  std::chrono::steady_clock::time_point drawn_;
  bool shown_ = false;
};

// "420 ms", "4.21 s", "12.3 s", "3:07", "1:02:03".
std::string FormatSeconds(double seconds);

}  // namespace vexmara::cli::batch

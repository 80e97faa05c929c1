#include "cli/batch/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace vexmara::cli::batch {

std::string FormatSeconds(double seconds) {
  char text[32];
  if (seconds < 1) {
    std::snprintf(text, sizeof text, "%.0f ms", seconds * 1000);
    return text;
  }
  if (seconds < 60) {
    std::snprintf(text, sizeof text, seconds < 10 ? "%.2f s" : "%.1f s", seconds);
    return text;
  }
  const long whole = std::lround(seconds);
  if (whole < 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  }
  return text;
}

Progress::Progress(std::ostream& out, bool terminal, int columns)
    : out_(out), terminal_(terminal), columns_(columns) {}

void Progress::Begin(const std::string& noun, int total, bool linePerFile) {
  noun_ = noun;
  total_ = total;
  linePerFile_ = linePerFile;
  done_ = failed_ = 0;
  current_.clear();
  begun_ = std::chrono::steady_clock::now();
  drawn_ = {};
}

void Progress::Started(const std::string& file) { current_ = file; }

void Progress::Finished(bool failed, const std::string& line) {
  ++done_;
  if (failed) ++failed_;
  if (terminal_) {
    Draw();
    return;
  }
  if (!linePerFile_) return;
  const std::string count = std::to_string(total_);
  std::string done = std::to_string(done_);
  done.insert(0, count.size() - std::min(count.size(), done.size()), ' ');
  out_ << "[" << done << "/" << count << "] " << line << "\n" << std::flush;
}

void Progress::Tick() {
  if (!terminal_ || std::chrono::steady_clock::now() - drawn_ < std::chrono::milliseconds(100))
    return;
  Draw();
}

void Progress::Draw() {
  const auto now = std::chrono::steady_clock::now();
  drawn_ = now;
  const double elapsed = std::chrono::duration<double>(now - begun_).count();
  // Appended piece by piece: GCC 12 at -O3 warns wrongly of overlapping copies in "[" + text.
  std::string line = "[";
  line += std::to_string(done_) + "/" + std::to_string(total_) + " " + noun_ + "] " +
          std::to_string(failed_) + " failed, " + FormatSeconds(elapsed);
  if (done_ > 0 && done_ < total_)
    line += ", about " + FormatSeconds(elapsed / done_ * (total_ - done_)) + " left";
  // A line that wraps could no longer be redrawn in place: the file's path gives way first,
  // from its start, so that its name stays.
  const std::size_t width = columns_ > 1 ? std::size_t(columns_ - 1) : 79;
  std::string file = current_;
  const std::size_t room = width > line.size() + 2 ? width - line.size() - 2 : 0;
  if (file.size() > room) {
    std::size_t cut = file.size() - (room > 3 ? room - 3 : 0);
    while (cut < file.size() && (static_cast<unsigned char>(file[cut]) & 0xC0) == 0x80)
      ++cut;  // not inside a character
    file = room > 3 ? "..." + file.substr(cut) : "";
  }
  if (!file.empty()) line += "  " + file;
  if (line.size() > width) line.resize(width);
  out_ << "\r" << line << "\x1b[K" << std::flush;
  shown_ = true;
}

void Progress::End() {
  if (terminal_ && shown_) out_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

}  // namespace vexmara::cli::batch

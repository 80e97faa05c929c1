// The program's messages on Windows, which it writes as UTF-8 text: a console is handed them as
// UTF-16 through WriteConsoleW, so that every character shows; a file or a pipe gets them in the
// console's code page (the ANSI code page when there is no console), as Windows programs write
// text there. Windows builds only: elsewhere the bytes go out as they are.
#pragma once

#include <streambuf>
#include <string>

namespace vexmara::cli {

class ConsoleText final : public std::streambuf {
 public:
  enum class Stream { Output, Error };
  explicit ConsoleText(Stream stream);
  ~ConsoleText() override;  // writes what is left
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize size) override;
  int sync() override;

 private:
  // Writes the whole lines gathered so far, or everything but a character cut short.
  void Write(bool wholeLinesOnly);

  void* handle_;
  bool console_;
  unsigned codePage_;
  std::string pending_;
};

}  // namespace vexmara::cli

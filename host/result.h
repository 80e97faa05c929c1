// How an operation of the reference host or of the converter says what became of it: a named
// code, and a message that says why whenever the code is not Ok. A result that carries more
// (counts, files) derives from this one. Checks, which only find fault, give a problem text
// instead: empty when there is none.
#pragma once

#include <string>
#include <utility>

namespace vexmara::host {

template <class Code>
struct [[nodiscard]] Result {
  Code code = Code::Ok;
  std::string message;  // empty when the code is Ok

  bool ok() const { return code == Code::Ok; }

  static Result Failure(Code failed, std::string why) { return Result{failed, std::move(why)}; }
};

}  // namespace vexmara::host

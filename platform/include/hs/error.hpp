/// \defgroup hs_error hs/error.hpp
/// \ingroup hsplatform
/// Program errors: a bug in the caller or a state that valid values never reach. Each carries
/// its message and the call stack of call-site records that led to it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace hs {
/// \addtogroup hs_error
/// @{

/// One call site: the function called there and where the call stands in the source.
struct SrcLoc {
  std::string function;  ///< The function called.
  std::string package;   ///< The package of the calling code.
  std::string module;    ///< Its module.
  std::string file;      ///< Its source file.
  int startLine = 0;     ///< Where the call starts: line,
  int startCol = 0;      ///< and column;
  int endLine = 0;       ///< where it ends: line,
  int endCol = 0;        ///< and column.

  friend bool operator==(const SrcLoc&, const SrcLoc&) = default;
};

/// A call stack, innermost entry first. A frozen stack is passed on unchanged: pushing onto it
/// gives it back as it is.
class CallStack {
 public:
  CallStack() = default;

  /// A copy with entry pushed on as the innermost; a frozen stack itself. Copies the entries.
  [[nodiscard]] CallStack pushed(SrcLoc entry) const {
    if (frozen_) return *this;
    CallStack s = *this;
    s.entries_.insert(s.entries_.begin(), std::move(entry));
    return s;
  }
  /// A frozen copy.
  [[nodiscard]] CallStack frozen() const {
    CallStack s = *this;
    s.frozen_ = true;
    return s;
  }
  /// Whether pushing leaves the stack as it is.
  [[nodiscard]] bool isFrozen() const noexcept { return frozen_; }
  /// The entries, innermost first.
  [[nodiscard]] const std::vector<SrcLoc>& entries() const noexcept { return entries_; }

  friend bool operator==(const CallStack&, const CallStack&) = default;

 private:
  std::vector<SrcLoc> entries_;
  bool frozen_ = false;
};

/// "CallStack (from HasCallStack):" followed by one line per entry, as the runtime prints it.
[[nodiscard]] std::string prettyCallStack(const CallStack& s);

/// A program error: its message and the call stack that led to it.
class ProgramError : public std::exception {
 public:
  /// The error with its message and stack.
  explicit ProgramError(std::string message, CallStack stack = {})
      : message_(std::move(message)), stack_(std::move(stack)) {}
  /// The message.
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
  /// The message.
  [[nodiscard]] const std::string& message() const noexcept { return message_; }
  /// The call stack, innermost entry first.
  [[nodiscard]] const CallStack& callStack() const noexcept { return stack_; }

 private:
  std::string message_;
  CallStack stack_;
};

/// Raises a program error whose stack is the caller's with the error's own site pushed on it.
[[noreturn]] void error(std::string message, SrcLoc site, const CallStack& caller = {});
/// Raises a program error that carries no call stack.
[[noreturn]] void errorWithoutStackTrace(std::string message);

/// A pattern-match failure in a library's own code (a state valid values never reach).
class PatternMatchFail : public std::exception {
 public:
  /// The failure with its message.
  explicit PatternMatchFail(std::string message) : message_(std::move(message)) {}
  /// The message.
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

/// @}
}  // namespace hs

// The pattern engine's exceptions. Every one carries its message as Shift-JIS text, so that the
// window can show it as it is; what() returns the same bytes.
#pragma once

#include <exception>
#include <string>

namespace engine {

class Exception : public std::exception {
  public:
    explicit Exception(std::string msg) : msg_(std::move(msg)) {}
    const std::string& Message() const { return msg_; }
    const char* what() const noexcept override { return msg_.c_str(); }

  private:
    std::string msg_;
};

// Failures of the file reader.
class EInOutError : public Exception {
  public:
    using Exception::Exception;
};

// The reader has no more data; it never leaves TGrep::Grep.
class EEndOfFile : public EInOutError {
  public:
    EEndOfFile() : EInOutError("End Of File") {}
};

// The file could not be opened; the message says why.
class EFileNotFound : public EInOutError {
  public:
    using EInOutError::EInOutError;
};

// The caller set TGrep::Cancel.
class EGrepCancel : public Exception {
  public:
    EGrepCancel() : Exception("CancelRequest") {}
};

// A malformed pattern: the message and the 1-based byte position where it was noticed.
class ERegExpParser : public Exception {
  public:
    ERegExpParser(std::string msg, int position) : Exception(std::move(msg)), pos_(position) {}
    int Position() const { return pos_; }

  private:
    int pos_;
};

} // namespace engine

// The runtime's exceptions: a class name and a message, reported by the halt
// when nothing catches them.
#pragma once

#include <exception>
#include <string>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EConvertError"; }
};

}  // namespace rtl

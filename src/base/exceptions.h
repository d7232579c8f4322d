// The failure classes of the tool. Every failure that ends a run carries its
// class name and message into the failure report, so both are part of the
// visible contract.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  ~Exception() override = default;

  const std::string& Message() const { return message_; }
  virtual const char* ClassName() const { return "Exception"; }
  const char* what() const noexcept override { return message_.c_str(); }
  // Where the failure was raised, for the report's address field; null when unknown.
  const void* RaiseAddress() const { return raise_address_; }

 private:
  std::string message_;
  const void* raise_address_;
};

#define QUORVE_FAILURE_CLASS(Name, Parent)                   \
  class Name : public Parent {                               \
   public:                                                   \
    using Parent::Parent;                                    \
    const char* ClassName() const override { return #Name; } \
  }

QUORVE_FAILURE_CLASS(EStreamError, Exception);
QUORVE_FAILURE_CLASS(EFileStreamError, EStreamError);
QUORVE_FAILURE_CLASS(EFOpenError, EFileStreamError);
QUORVE_FAILURE_CLASS(EFCreateError, EFileStreamError);
QUORVE_FAILURE_CLASS(EFilerError, EStreamError);
QUORVE_FAILURE_CLASS(EWriteError, EFilerError);
QUORVE_FAILURE_CLASS(EStringListError, Exception);
// A run that stops before it does harm (a written-back file that would lose its
// rest): the user sees its message alone, one line on standard error, instead of
// a failure report.
QUORVE_FAILURE_CLASS(ERefusal, Exception);

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
  const char* ClassName() const override { return "EOutOfMemory"; }
};

// A text-stream failure code turned into a failure; carries the code.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int32_t code) : Exception(std::move(message)), code_(code) {}
  const char* ClassName() const override { return "EInOutError"; }
  int32_t ErrorCode() const { return code_; }

 private:
  int32_t code_;
};

// The one exception base of the system: every failure travels as an exception that
// carries a user-readable message. Library families (network, archive, translation)
// derive from it; the stream and file errors of this library are defined here.
#pragma once

#include <exception>
#include <string>

namespace tarvo::core {

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// Base of the stream failures ("Stream read error", "Stream write error", ...).
class EStreamError : public Exception {
public:
  using Exception::Exception;
};

// A read that could not deliver the bytes that were asked for.
class EReadError : public EStreamError {
public:
  EReadError();
  using EStreamError::EStreamError;
};

// A write that could not store every byte it was given (disk full, closed handle).
class EWriteError : public EStreamError {
public:
  EWriteError();
  using EStreamError::EStreamError;
};

// A file stream that could not create its file; the message names the file and the cause.
class EFCreateError : public EStreamError {
public:
  EFCreateError(const std::string& fileName, int errorNumber);
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// A file stream that could not open an existing file.
class EFOpenError : public EStreamError {
public:
  EFOpenError(const std::string& fileName, int errorNumber);
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// A failed file-system call other than opening or creating a stream (making a folder,
// deleting a file). Carries the operating system's error number.
class EInOutError : public Exception {
public:
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), FErrorCode(errorCode) {}
  explicit EInOutError(int errorCode);
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// The operating system's text for an error number: a resource string (translated with
// the program) for the reasons users meet with files, strerror's text for the others.
std::string SysErrorMessage(int errorNumber);
// The C library's own text for an errno value (exception_posix.cpp, exception_windows.cpp).
std::string SystemErrorText(int errorNumber);

}  // namespace tarvo::core

// Exceptions thrown by the node-map layer; callers catch GenICam::GenericException.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace GenICam {

using gcstring = std::string;
using gcstring_vector = std::vector<std::string>;

// Every error of the node-map layer: bad XML, unknown node, wrong access, value out of
// range, a port that failed. GetDescription() is the text shown to the operator.
class GenericException : public std::exception {
public:
  explicit GenericException(std::string description, const char* sourceFile = "",
                            unsigned sourceLine = 0);
  const char* GetDescription() const noexcept { return description_.c_str(); }
  const char* GetSourceFileName() const noexcept { return sourceFile_.c_str(); }
  unsigned GetSourceLine() const noexcept { return sourceLine_; }
  // The exception's class name, e.g. "AccessException".
  virtual const char* GetExceptionType() const noexcept { return "GenericException"; }
  const char* what() const noexcept override { return description_.c_str(); }

private:
  std::string description_;
  std::string sourceFile_;
  unsigned sourceLine_;
};

#define KELPAX_GENICAM_EXCEPTION(Name)                                                             \
  class Name : public GenericException {                                                           \
  public:                                                                                          \
    using GenericException::GenericException;                                                      \
    const char* GetExceptionType() const noexcept override { return #Name; }                       \
  };

KELPAX_GENICAM_EXCEPTION(BadAllocException)
KELPAX_GENICAM_EXCEPTION(InvalidArgumentException)
KELPAX_GENICAM_EXCEPTION(OutOfRangeException)
KELPAX_GENICAM_EXCEPTION(PropertyException)
// Also the class of "already loaded" refusals and XML that does not parse.
KELPAX_GENICAM_EXCEPTION(RuntimeException)
KELPAX_GENICAM_EXCEPTION(LogicalErrorException)
// Reading a node that is not readable, writing one that is not writable, no port.
KELPAX_GENICAM_EXCEPTION(AccessException)
KELPAX_GENICAM_EXCEPTION(TimeoutException)

#undef KELPAX_GENICAM_EXCEPTION

} // namespace GenICam

// The decoder's internal fault: raised wherever a stream turns out to be damaged and
// turned into EVmInflateError (with the outer message) when it leaves Inflate.
#pragma once

#include <string>

#include "core/exception.h"
#include "core/resource_string.h"

namespace tarvo::unzip {

class EVmInternalInflateError : public core::Exception {
public:
  using core::Exception::Exception;
};

// Raises the internal fault with the text of a resource string.
[[noreturn]] void RaiseInflateError(const core::TResourceString& cause);

}  // namespace tarvo::unzip

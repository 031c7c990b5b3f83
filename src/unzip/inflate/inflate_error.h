// The decoder's own error: raised wherever a stream turns out to be damaged, and what Inflate
// raises then. Its message is the cause; the archive library wraps it in its outer message
// (EVmInflateError), so the decoder depends on nothing of that library.
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

// The translation service's failures.
#pragma once

#include "core/exception.h"

namespace tarvo::i18n {

class EGettextError : public core::Exception {
public:
  using Exception::Exception;
};

// The service used in a way it does not allow (ignore rules, retranslation order).
class EGettextProgrammingError : public EGettextError {
public:
  using EGettextError::EGettextError;
};

// A published property that failed while it was translated; names the rule that avoids it.
class EGettextComponentError : public EGettextError {
public:
  using EGettextError::EGettextError;
};

// A catalog that cannot be opened, mapped or understood.
class EGettextIOError : public EGettextError {
public:
  using EGettextError::EGettextError;
};

}  // namespace tarvo::i18n

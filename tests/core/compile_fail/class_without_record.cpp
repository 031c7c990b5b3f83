// Must not compile: the record of a class that declares none of its own would be its
// parent's, and a rule about it would act on the parent's whole family.
#include "core/component.h"

class TDerivedWithoutRecord : public tarvo::core::TComponent {};

const tarvo::core::TClassInfo& Taken() { return tarvo::core::ClassInfoOf<TDerivedWithoutRecord>(); }

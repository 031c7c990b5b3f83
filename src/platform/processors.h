// How many processors a decoder may keep busy with threads of its own right now.
#pragma once

namespace tarvo::platform {

// The processors that no other thread is running on at the moment, at least 1. On a busy
// machine extra workers would only take turns on one processor, each turn costing the
// other's cache, and serial work is faster. When the system cannot tell, every processor.
unsigned IdleProcessors() noexcept;

}  // namespace tarvo::platform

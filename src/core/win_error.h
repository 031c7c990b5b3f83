// Windows error codes (GetLastError) as the errno values the rest of the code reads, so a
// message is the same on both systems ("No such file or directory", "Permission denied").
#pragma once

namespace tarvo::core {

// The errno value for a Windows error code; EIO for codes without a counterpart.
int ErrnoFromWindowsError(unsigned long error) noexcept;

}  // namespace tarvo::core

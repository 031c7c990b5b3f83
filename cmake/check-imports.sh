#!/bin/sh
# Fails when a Windows program imports a DLL that is not one of Windows 10's KnownDLLs (or
# comctl32, which the manifest binds to the system's side-by-side copy). The loader resolves
# imports before any of our code runs, from the program's folder first unless the DLL is
# known: a bcrypt.dll saved beside an installer in Downloads would run with it.
#   check-imports.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
known="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll
ws2_32.dll msvcrt.dll shlwapi.dll normaliz.dll imm32.dll rpcrt4.dll sechost.dll setupapi.dll psapi.dll
combase.dll shcore.dll comctl32.dll"
status=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  bad=""
  for dll in $dlls; do
    echo $known | tr ' ' '\n' | grep -qx "$dll" || bad="$bad $dll"
  done
  if [ -n "$bad" ]; then
    echo "$(basename "$program"): imports DLLs that are not KnownDLLs:$bad"
    status=1
  else
    echo "$(basename "$program"): imports only KnownDLLs ($(echo $dlls | tr '\n' ' '))"
  fi
done
exit $status

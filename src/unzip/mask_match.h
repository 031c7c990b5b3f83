// Matching entry names against file masks ("*.*", "docs\*.txt", "a*;b*").
//
// Masks and names compare upper-cased, with "/" and "\" alike. A mask without a folder
// part matches the file name part of entries in every folder; "*.*" and "*" match every
// name, with or without a dot.
#pragma once

#include <string>

namespace tarvo::unzip {

// "?" one character, "*" any run (also none); everything else itself. Works on code
// points, case-sensitive: callers upper-case first. Linear in practice: no backtracking
// blow-up on patterns like "*a*a*a*b".
bool MatchPattern(const std::string& pattern, const std::string& name);

// Folder part by MatchPattern when the mask has one, then the file name part.
bool MatchFileName(const std::string& mask, const std::string& name);

// One mask against an item's stored name: "/" becomes "\", a drive or UNC server-and-share
// prefix of the mask is dropped, a directory's trailing delimiter is ignored.
bool MatchesStoredName(const std::string& mask, const std::string& storedName, bool isDirectory);

// A ";"-separated mask list, each part trimmed of blanks: true when any part matches. An
// empty list matches nothing.
bool MatchesStoredNameEx(const std::string& maskList, const std::string& storedName, bool isDirectory);

}  // namespace tarvo::unzip

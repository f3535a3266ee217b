// Where the programs find their files: a name another program wrote in another case.
#pragma once

#include <string>

// path itself when it exists (or its folder cannot be read); otherwise the entry of its
// folder whose name equals its last part when ASCII letters are compared without case
// (older modelling tools store "CWALL02.JPG" for "CWALL02.jpg"), the first in byte order
// when several do; otherwise path.
std::string findFileIgnoringCase(const std::string& path);

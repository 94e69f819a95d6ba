#pragma once
// Values that change a command line when the shell reads them unquoted:
// quotes, substitutions, separators, globs, blanks, line ends. Every one of
// them that manages to run something creates `marker`.

#include <string>
#include <vector>

std::vector<std::string> shellHostileValues(const std::string& marker);

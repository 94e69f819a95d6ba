#include "hostile_values.h"

std::vector<std::string> shellHostileValues(const std::string& marker) {
    const std::string touch = "touch " + marker;
    return {
        "it's",
        "say \"hi\"",
        "$(" + touch + ")",
        "`" + touch + "`",
        "x; " + touch,
        "x | " + touch,
        "x && " + touch,
        "first line\n" + touch,
        "two words",
        "  padded  ",
        "tab\there",
        "back\\slash",
        "ends in backslash\\",
        "*",
        "~",
        "",
        "x'; " + touch + "; echo '",
        "x\"; " + touch + "; echo \"",
        "'\"$(" + touch + ")\"'",
        "$HOME",
        "%s%d",
    };
}

#include "util/paths.h"

#include <cstdlib>

std::string rootedPath(std::string_view absolutePath) {
    const char* root = std::getenv("QOROLAPMIGRATE_ROOT");
    if (root == nullptr || *root == '\0') return std::string(absolutePath);
    std::string base(root);
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + std::string(absolutePath);
}

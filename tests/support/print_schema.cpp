// Prints the ClickHouse schema for scripts/demo, which has no C++ of its own.
#include <iostream>

#include "rig.h"

int main() { std::cout << qortest::schemaSql(); }

#pragma once
// The "drop" command: shows the collections of the list file, asks once,
// and on "yes" drops them all in list order.

#include <iostream>
#include <string>

#include "exec/host.h"

// `answer` is where the operator's confirmation is read from.
void dropCollections(const std::string& host, const std::string& user,
                     const std::string& password, std::istream& answer = std::cin,
                     const Host& machine = realHost());

#pragma once
// The "drop" command: shows the collections of the list file with the rows
// each has in its ClickHouse completed table, asks once, and on the answer
// drops them all in list order.

#include <iostream>
#include <string>

#include "exec/host.h"
#include "exec/logins.h"

// `answer` is where the operator's confirmation is read from. A collection
// whose completed table holds no row or cannot be read is marked
// "[NOT MIGRATED]"; with one such collection only "force" confirms, else
// "yes" does.
void dropCollections(const std::string& host, const std::string& user,
                     const std::string& password, const ClickHouseLogin& clickhouse,
                     std::istream& answer = std::cin, const Host& machine = realHost());

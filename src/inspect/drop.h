#pragma once
// Freeing MongoDB once its data is safe in ClickHouse. Dropping cannot be
// undone, so before the one question the operator sees, for each collection,
// what ClickHouse holds and whether that is every document MongoDB has.

#include <iostream>
#include <string>

#include "exec/host.h"
#include "exec/logins.h"
#include "util/parsers.h"

// `answer` is the operator's terminal (a stream in tests). Collections with
// nothing in ClickHouse, or not known to be wholly there, are marked, and
// then a deliberate "force" is needed.
// False when a drop failed (the rest of the list is still dropped).
bool dropCollections(const ProductCatalogue& catalogue, const MongoLogin& mongo,
                     const ClickHouseLogin& clickhouse, std::istream& answer = std::cin,
                     const Host& machine = realHost());

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
// then a deliberate "force" is needed; "yes" drops a list without marks.
// Right before it is dropped, a collection listed without a mark is
// compared again and kept when it has one now. True when the list was
// dropped as confirmed or the operator said "no"; false when a count could
// not be read, a drop failed (the rest of the list is still dropped), a
// collection was kept for a mark, "yes" met a marked list, or the answer
// was none of yes, force and no (the input ended first, say).
bool dropCollections(const ProductCatalogue& catalogue, const MongoLogin& mongo,
                     const ClickHouseLogin& clickhouse, std::istream& answer = std::cin,
                     const Host& machine = realHost());

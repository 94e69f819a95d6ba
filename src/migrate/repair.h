#pragma once
// "repair": what ClickHouse lacks of a collection, found without reading
// every id and moved alone. A collection of hundreds of millions of
// documents with a gap is mended in the time its gap takes to move, and its
// history stays readable meanwhile: nothing is deleted.

#include "exec/command_text.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"

// Compares MongoDB and the completed table over `span`, the collection's
// verified span, moves exactly the documents ClickHouse lacks and compares
// the span again. Rows of documents MongoDB let go are history and stay;
// rows held twice are reported and left (a retry clears them): the outcome
// is failed then. Every read is done before anything moves, so a failed
// read moves nothing.
Outcome repairCollection(const OlapMigrator& run, const CollectionKind& kind,
                         const ObjectIdSpan& span, CollectionRecord& record);

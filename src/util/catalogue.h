#pragma once
// Which MongoDB collections belong to which product module, which of them a
// run takes, and what they are called in ClickHouse. Both the migration and
// the inspection commands walk it.

#include <functional>
#include <string>

#include "util/parsers.h"

ProductCatalogue builtInCatalogue();

// Replaces `migrationList` with the list file's content; an empty path keeps
// it. False, with the line saying so, when the file cannot be opened: the
// caller decides what that means for its command.
bool setMigrationList(const std::string& path, ProductCatalogue& migrationList);

// A name is taken when the table filter is empty or names it and the
// product filter is empty or names its key.
bool isSelected(const std::string& key, const std::string& name, const std::string& product,
                const std::string& table);

// Entries in order, keys ascending within an entry, names in list order.
void forEachCollection(const ProductCatalogue& catalogue,
                       const std::function<void(const std::string& key,
                                                 const std::string& name)>& visit);

// The "j4" module was renamed "zq" on the ClickHouse side, so its collections
// keep their old MongoDB names and get new table names: the first "j4" of the
// name, wherever it stands, becomes "zq"; any later one stays.
std::string toOlapTableName(const std::string& collection);

// Where the export-and-load pipeline puts each exported line.
std::string stagingTableName(const std::string& collection);

// The record of what has been migrated, read before every migration.
std::string completedTableName(const std::string& collection);

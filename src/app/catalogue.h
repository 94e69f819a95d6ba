#pragma once
// Which MongoDB collections belong to which product module, and which of
// them a run takes.

#include <functional>
#include <string>

#include "util/parsers.h"

// The one catalogue of the process: the built-in content until a list file
// replaces it.
extern ProductCatalogue migrationList;

ProductCatalogue builtInCatalogue();

// Replaces migrationList with the list file's content; an empty path keeps
// it. Ends the process with status 1 when the file cannot be opened.
void setMigrationList(const std::string& path);

// The four collections moved by the report pass; every other name belongs
// to the general pass.
bool isReportTable(const std::string& name);

// A name is taken when the table filter is empty or names it and the
// product filter is empty or names its key.
bool isSelected(const std::string& key, const std::string& name, const std::string& product,
                const std::string& table);

// Entries in order, keys ascending within an entry, names in list order.
void forEachCollection(const ProductCatalogue& catalogue,
                       const std::function<void(const std::string& key,
                                                 const std::string& name)>& visit);

#pragma once
// Collection names end up inside JavaScript, JSON and SQL, where shell
// quoting cannot protect anything; a list file may hold any text. So a name
// is checked before any command is composed for it.

#include <string>
#include <string_view>

class OlapMigrator;

// True when the name may be used. Otherwise logs the refusal under
// `loggedAs`, records the collection as refused in the run report and
// answers false: the pass goes on with the next collection.
bool admitCollectionName(const OlapMigrator& migrator, const std::string& collection,
                         std::string_view loggedAs);

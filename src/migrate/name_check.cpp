#include "migrate/name_check.h"

#include <utility>

#include "app/context.h"
#include "exec/shell_quote.h"
#include "util/log.h"

bool admitCollectionName(const OlapMigrator& migrator, const std::string& collection,
                         std::string_view loggedAs) {
    if (isAcceptableCollectionName(collection)) return true;
    LOG_AS(loggedAs, collection,
           " collection name is not accepted (letters, digits, '_', '.' and '-' only), skipped");
    CollectionRecord refused;
    refused.name = collection;
    refused.outcome = Outcome::refusedName;
    migrator.runReport().record(std::move(refused));
    return false;
}

#include "migrate/verify.h"

#include "util/log.h"

std::optional<SpanFindings> verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                               const ObjectIdSpan& span,
                                               const std::function<void(const MissingTerm&)>& onMissing) {
    const ComparedCollection collection{run.mongo, run.clickhouse, kind.name, kind.completedTable, kind.loggedAs};
    const SpanComparison compared = compareSpan(collection, span, run.host, onMissing);
    if (!compared.findings) {
        LOG_AS(kind.loggedAs, kind.name, " could not be verified (", compared.why, ")");
        return std::nullopt;
    }
    const SpanFindings& found = *compared.findings;
    if (found.whole())
        LOG_AS(kind.loggedAs, kind.name, " verified : ", found.documents.count, " documents");
    else
        LOG_AS(kind.loggedAs, kind.name, " verification failed : ", describeFindings(found));
    if (found.otherIds > 0)
        LOG_AS(kind.loggedAs, kind.name, " holds ", found.otherIds,
               " documents whose _id is not an ObjectId: the tool can neither move nor verify them");
    if (found.letGo > 0)
        LOG_AS(kind.loggedAs, kind.name, " keeps ", found.letGo, " rows of documents MongoDB no longer holds");
    return found;
}

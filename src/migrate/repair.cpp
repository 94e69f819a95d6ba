#include "migrate/repair.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "exec/private_file.h"
#include "exec/repair_work_file.h"
#include "exec/span_counts.h"
#include "exec/span_ids.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "migrate/id_diff.h"
#include "migrate/movers.h"
#include "migrate/object_id_pieces.h"
#include "migrate/verify.h"
#include "util/log.h"

namespace {
// A piece of at most this many documents or rows is compared id by id; a
// larger one is cut again, which costs two calls for a whole level.
constexpr std::int64_t comparedPieceSize = 10'000;
// The bounds of every piece of a call stand in the one argument of mongosh
// or clickhouse-client, which the system caps at 128 KiB.
constexpr std::size_t piecesPerCall = 1024;

struct Located {
    std::int64_t documents = 0;  // missing in ClickHouse
    bool extraRows = false;
};

// The pieces of one level of a narrowing, and the prefixes of their
// parents by the length of parent and piece, as ClickHouse groups them.
struct Level {
    std::vector<Piece> pieces;
    std::map<std::pair<std::size_t, std::size_t>, std::vector<std::string>> parents;
};

struct Moved {
    std::int64_t documents = 0;
    bool everyBatch = true;
};

class Repairer {
public:
    Repairer(const OlapMigrator& run, const CollectionKind& kind) : run_(run), kind_(kind) {}

    // The pieces whose counts differ and that are not cut further, newest
    // first, from the counted pieces of `root`; nothing after a failed read.
    std::optional<std::vector<Piece>> narrow(const Piece& root, std::vector<Piece> level) const {
        logDifference(root);
        std::vector<Piece> settled;
        while (!level.empty()) {
            std::vector<Piece> parents;
            for (Piece& piece : level) {
                if (piece.documents == piece.rows) continue;
                logDifference(piece);
                // A side without anything needs no cutting: all of the piece is
                // missing, or all of it is more than MongoDB holds.
                const bool cutAgain = piece.documents > 0 && piece.rows > 0 &&
                                 std::max(piece.documents, piece.rows) > comparedPieceSize &&
                                 piece.bounds.lower != piece.bounds.upper;
                (cutAgain ? parents : settled).push_back(std::move(piece));
            }
            if (parents.empty()) break;
            std::optional<Level> next = cut(parents);
            if (!next || !countRows(*next, root.bounds)) return std::nullopt;
            level = std::move(next->pieces);
        }
        std::sort(settled.begin(), settled.end(),
                  [](const Piece& a, const Piece& b) { return a.bounds.upper > b.bounds.upper; });
        return settled;
    }

    // Compares the ids of the pieces and writes what ClickHouse lacks into
    // `terms`, one "lower upper documents" line per run or lone id.
    std::optional<Located> locate(const std::vector<Piece>& pieces, RepairWorkFile& terms) const {
        Located located;
        MissingRuns runs([&](const MissingTerm& term) {
            located.documents += term.documents;
            terms.write(term.lower + " " + term.upper + " " + std::to_string(term.documents) + "\n");
        });
        for (std::size_t first = 0; first < pieces.size(); first += piecesPerCall) {
            const std::size_t last = std::min(pieces.size(), first + piecesPerCall);
            RepairWorkFile mongoIds("mongo-ids.txt");
            RepairWorkFile oids("clickhouse-oids.txt");
            if (!listIds(pieces, first, last, mongoIds, oids)) return std::nullopt;
            IdStreamComparison ids([&mongoIds](std::string& line) { return mongoIds.readLine(line); },
                                   [&oids](std::string& line) { return oids.readLine(line); });
            for (std::size_t i = first; i < last; ++i) {
                const Piece& piece = pieces[i];
                if (piece.rows == 0) {
                    runs.wholePiece(piece.bounds.upper, piece.bounds.lower, piece.documents);
                    continue;
                }
                runs.beginPiece(piece.bounds.upper, piece.bounds.lower);
                if (piece.documents == 0) {
                    reportExtraRows(piece.rows, piece.bounds.lower, piece.bounds.upper);
                    located.extraRows = true;
                    continue;
                }
                std::int64_t extra = 0;
                std::string lowest;
                std::string highest;
                while (const std::optional<IdEvent> event = ids.next(piece.bounds.lower)) {
                    if (event->match == IdMatch::missing) runs.missing(event->id);
                    if (event->match == IdMatch::present) runs.present();
                    if (event->match != IdMatch::extra) continue;
                    if (extra++ == 0) highest = event->id;
                    lowest = event->id;
                }
                if (extra > 0) {
                    reportExtraRows(extra, lowest, highest);
                    located.extraRows = true;
                }
            }
            if (!ids.ordered()) {
                unreadable("an id list out of order");
                return std::nullopt;
            }
        }
        runs.finish();
        if (!terms.finishWriting()) {
            cannotWrite(terms.path());
            return std::nullopt;
        }
        return located;
    }

    // The terms in batches of `-n`, one export-and-load pipeline each.
    Moved move(RepairWorkFile& terms) const {
        Moved moved;
        std::vector<ObjectIdSpan> ranges;
        std::vector<std::string> ids;
        std::int64_t documents = 0;
        const auto moveBatch = [&] {
            if (moveTerms(ranges, ids, documents))
                moved.documents += documents;
            else
                moved.everyBatch = false;
            ranges.clear();
            ids.clear();
            documents = 0;
        };
        for (std::string line; terms.readLine(line);) {
            std::istringstream term(line);
            std::string lower;
            std::string upper;
            std::int64_t count = 0;
            term >> lower >> upper >> count;
            if (lower == upper)
                ids.push_back(lower);
            else
                ranges.push_back({.lower = lower, .upper = upper});
            documents += count;
            if (ranges.size() + ids.size() >= static_cast<std::size_t>(run_.parameters.batchCount))
                moveBatch();
        }
        if (documents > 0) moveBatch();
        return moved;
    }

    // The pieces that cover `parents`, cut so that none should hold more
    // than comparedPieceSize, with MongoDB's side counted: up to
    // piecesPerCall of them a call. Nothing after a failed read.
    std::optional<Level> cut(const std::vector<Piece>& parents) const {
        Level level;
        for (const Piece& parent : parents) {
            const std::size_t digits = digitsToCut(parent, comparedPieceSize);
            level.parents[{parent.prefix.size(), parent.prefix.size() + digits}].push_back(parent.prefix);
            for (Piece& child : childrenOf(parent, digits)) level.pieces.push_back(std::move(child));
        }
        std::vector<Piece>& pieces = level.pieces;
        for (std::size_t first = 0; first < pieces.size(); first += piecesPerCall) {
            const std::size_t last = std::min(pieces.size(), first + piecesPerCall);
            std::vector<ObjectIdSpan> bounds;
            for (std::size_t i = first; i < last; ++i) bounds.push_back(pieces[i].bounds);
            const auto documents = countDocumentsPerSpan(run_.mongo, kind_.name, bounds, run_.host);
            if (!documents.counts) {
                unreadable(documents.why);
                return std::nullopt;
            }
            for (std::size_t i = first; i < last; ++i) pieces[i].documents = (*documents.counts)[i - first];
        }
        return level;
    }

    // ClickHouse's side of the level's pieces within `span`: one grouped
    // query per length of the pieces, for up to piecesPerCall parents.
    bool countRows(Level& level, const ObjectIdSpan& span) const {
        std::map<std::string, std::int64_t> rows;
        for (const auto& [lengths, prefixes] : level.parents) {
            for (std::size_t first = 0; first < prefixes.size(); first += piecesPerCall) {
                const std::vector<std::string> some(
                    prefixes.begin() + first, prefixes.begin() + std::min(prefixes.size(), first + piecesPerCall));
                const auto counted = countCompletedRowsByPrefix(run_.clickhouse, kind_.completedTable, span,
                                                                lengths.second, some, run_.host);
                if (!counted.counts) return unreadable(counted.why);
                rows.insert(counted.counts->begin(), counted.counts->end());
            }
        }
        for (Piece& piece : level.pieces) {
            const auto found = rows.find(piece.prefix);
            piece.rows = found == rows.end() ? 0 : found->second;
        }
        return true;
    }

private:
    // The ids of the pieces [first, last) that both sides hold some of, into
    // the two work files, newest first.
    bool listIds(const std::vector<Piece>& pieces, std::size_t first, std::size_t last,
                 RepairWorkFile& mongoIds, RepairWorkFile& oids) const {
        if (!mongoIds.opened()) return cannotWrite(mongoIds.path());
        if (!oids.opened()) return cannotWrite(oids.path());
        std::vector<ObjectIdSpan> listed;
        for (std::size_t i = first; i < last; ++i) {
            if (pieces[i].documents > 0 && pieces[i].rows > 0) listed.push_back(pieces[i].bounds);
        }
        if (!listed.empty()) {
            RepairWorkFile query("query.json");
            if (!writeQuery(query, listed, {})) return false;
            const auto into = [](RepairWorkFile& file) {
                return [&file](std::string_view id) {
                    file.write(id);
                    file.write("\n");
                };
            };
            IdListing listing = listDocumentIds(run_.mongo, kind_.name, query.path(), exportConfigPath(),
                                                run_.host, into(mongoIds));
            if (!listing.listed) return unreadable(listing.why);
            listing = listCompletedOids(run_.clickhouse, kind_.completedTable, listed, run_.host,
                                        into(oids));
            if (!listing.listed) return unreadable(listing.why);
        }
        if (!mongoIds.finishWriting()) return cannotWrite(mongoIds.path());
        if (!oids.finishWriting()) return cannotWrite(oids.path());
        return true;
    }

    bool moveTerms(const std::vector<ObjectIdSpan>& ranges, const std::vector<std::string>& ids,
                   std::int64_t documents) const {
        RepairWorkFile query("query.json");
        if (!writeQuery(query, ranges, ids)) return false;
        if (run_.parameters.memoryLimitSet && !checkClickHouseMemory(run_)) return false;
        LOG_AS(kind_.loggedAs, kind_.name, " repair moves ", documents, " documents : ",
               ranges.size(), " runs by their bounds, ", ids.size(), " by their ids");
        return moveQueriedDocuments(run_, kind_.name, query.path());
    }

    bool writeQuery(RepairWorkFile& query, const std::vector<ObjectIdSpan>& ranges,
                    const std::vector<std::string>& ids) const {
        const bool written = query.opened() && query.write(objectIdQueryText(ranges, ids)) &&
                             query.finishWriting();
        return written || cannotWrite(query.path());
    }

    void logDifference(const Piece& piece) const {
        LOG_AS(kind_.loggedAs, kind_.name, " differs between ", piece.bounds.lower, " and ",
               piece.bounds.upper, " : MongoDB ", piece.documents, ", ClickHouse ", piece.rows);
    }

    void reportExtraRows(std::int64_t rows, const std::string& lower, const std::string& upper) const {
        LOG_AS(kind_.loggedAs, kind_.name, " holds ", rows, " rows more than MongoDB between ", lower,
               " and ", upper, ", left as they are");
    }

    // Both log why, and give false for the caller to hand on.
    bool unreadable(const std::string& why) const {
        LOG_AS(kind_.loggedAs, kind_.name, " could not be compared (", why, ")");
        return false;
    }

    bool cannotWrite(const std::string& path) const {
        LOG_AS(kind_.loggedAs, "Cannot write the work file ", path);
        return false;
    }

    const OlapMigrator& run_;
    const CollectionKind& kind_;
};
}  // namespace

Outcome repairCollection(const OlapMigrator& run, const CollectionKind& kind,
                         const ObjectIdSpan& verifiedSpan, CollectionRecord& record) {
    ObjectIdSpan span = verifiedSpan;
    const std::optional<std::int64_t> rows = countCompletedSpan(run, kind, span);
    if (!rows) return Outcome::failed;
    std::optional<Piece> root = pieceOfSpan(span);
    if (!root) {
        LOG_AS(kind.loggedAs, kind.name, " could not be compared (an empty span)");
        return Outcome::failed;
    }
    root->rows = *rows;
    // MongoDB's side is counted by the first pieces already: their sum is the
    // whole span, and the shell, slow to start, starts once for both.
    const Repairer repairer(run, kind);
    std::optional<Level> level = repairer.cut({*root});
    if (!level) return Outcome::failed;
    for (const Piece& piece : level->pieces) root->documents += piece.documents;
    if (judgeCounts(kind, root->documents, root->rows) == Verification::equal) {
        record.verified = root->documents;
        return Outcome::complete;
    }
    if (!repairer.countRows(*level, root->bounds)) return Outcome::failed;
    const std::optional<std::vector<Piece>> pieces = repairer.narrow(*root, std::move(level->pieces));
    if (!pieces) return Outcome::failed;
    RepairWorkFile terms("runs.txt");
    if (!terms.opened()) {
        LOG_AS(kind.loggedAs, "Cannot write the work file ", terms.path());
        return Outcome::failed;
    }
    const std::optional<Located> located = repairer.locate(*pieces, terms);
    if (!located) return Outcome::failed;
    if (run.parameters.dryRun)
        LOG_AS(kind.loggedAs, kind.name, " repair would move ", located->documents, " documents");
    const Moved moved = repairer.move(terms);
    record.repaired = moved.documents;
    // The counts are in the log; a repair's summary names what it moved.
    CollectionRecord counts;
    const bool finished = located->documents == 0 || finishMigratedCollection(run, kind, counts);
    if (run.parameters.dryRun) return located->extraRows ? Outcome::failed : Outcome::repaired;
    const VerifiedSpan after = verifyMigratedSpan(run, kind, span);
    if (after.result == Verification::equal) record.verified = after.documents;
    const bool mended = finished && moved.everyBatch && !located->extraRows && after.result == Verification::equal;
    return mended ? Outcome::repaired : Outcome::failed;
}

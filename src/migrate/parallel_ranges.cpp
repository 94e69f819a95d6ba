// A general collection moved as `-j` pipelines at once: its span cut into
// `_id` ranges that hold about as many documents each, counted along the
// `_id` index the way the comparison counts, so that no range keeps the
// others waiting even where the documents crowd into a few days.

#include <algorithm>

#include "compare/object_id_pieces.h"
#include "compare/side_summaries.h"
#include "exec/mongo_export_commands.h"
#include "migrate/movers.h"
#include "util/log.h"

namespace {
// A range of fewer documents costs more in starting its programs than it
// saves by running beside the others.
constexpr std::int64_t leastPerRange = 1'000;
// The first cut makes this many pieces a range, so that evenly spread
// documents need no second call.
constexpr std::uint64_t piecesPerRange = 16;
// The ObjectIds below and above every other: an open side of a range.
const std::string lowestObjectId(24, '0');
const std::string highestObjectId(24, 'f');

bool summarize(const OlapMigrator& run, const std::string& collection, std::vector<Piece>& pieces) {
    const std::string why = summarizePieces(run.mongo, collection, pieces, run.host);
    if (!why.empty()) LOG_AS("executeMigrationCommand", collection, " could not be cut into ranges (", why, ")");
    return why.empty();
}

struct Cut {
    std::vector<Piece> pieces;  // newest first, none holding more than half of a range's share
    std::size_t ranges = 1;
    std::int64_t documents = 0;
};

// The span in pieces fine enough to group into equal ranges; nothing after
// a failed read.
std::optional<Cut> cutSpan(const OlapMigrator& run, const std::string& collection, const ObjectIdSpan& span) {
    Cut cut;
    const std::optional<Piece> root = pieceOfSpan(span);
    if (!root) return cut;
    const auto jobs = static_cast<std::uint64_t>(run.parameters.jobs);
    cut.pieces = childrenOf(*root, digitsForPieces(*root, jobs * piecesPerRange));
    if (!summarize(run, collection, cut.pieces)) return std::nullopt;
    for (const Piece& piece : cut.pieces) cut.documents += piece.documents.count;
    cut.ranges = static_cast<std::size_t>(
        std::clamp<std::int64_t>(cut.documents / leastPerRange, 1, static_cast<std::int64_t>(jobs)));
    const std::int64_t half = std::max<std::int64_t>(cut.documents / static_cast<std::int64_t>(cut.ranges) / 2, 1);
    // Where documents crowd, the pieces that hold too many are cut again.
    for (;;) {
        std::vector<std::vector<Piece>> cuts(cut.pieces.size());
        std::vector<Piece> children;
        for (std::size_t i = 0; i < cut.pieces.size(); ++i) {
            const Piece& piece = cut.pieces[i];
            if (piece.documents.count <= half || piece.bounds.lower == piece.bounds.upper) continue;
            cuts[i] = childrenOf(piece, digitsToCut(piece, half / 2 + 1));
            children.insert(children.end(), cuts[i].begin(), cuts[i].end());
        }
        if (children.empty()) return cut;
        if (!summarize(run, collection, children)) return std::nullopt;
        std::vector<Piece> finer;
        std::size_t child = 0;
        for (std::size_t i = 0; i < cut.pieces.size(); ++i) {
            if (cuts[i].empty()) finer.push_back(std::move(cut.pieces[i]));
            for (std::size_t k = 0; k < cuts[i].size(); ++k) finer.push_back(std::move(children[child++]));
        }
        cut.pieces = std::move(finer);
    }
}
}  // namespace

bool moveRanges(const OlapMigrator& run, const std::string& collection, const ObjectIdSpan& span,
                const std::string& upper, const std::string& lower, const Tick& tick) {
    if (run.parameters.jobs <= 1) return executeMigrationCommand(run, collection, upper, lower, tick);
    const std::optional<Cut> cut = cutSpan(run, collection, span);
    if (!cut) return false;
    std::vector<ObjectIdSpan> ranges = balancedRanges(cut->pieces, cut->ranges);
    if (ranges.size() <= 1) return executeMigrationCommand(run, collection, upper, lower, tick);
    // Documents written after the span was read, or before it, go with the
    // outermost ranges as they would with one pipeline.
    ranges.front().upper = upper.empty() ? highestObjectId : upper;
    ranges.back().lower = lower.empty() ? lowestObjectId : lower;
    LOG_AS("executeMigrationCommand", collection, " moves as ", ranges.size(), " ranges of about ",
           cut->documents / static_cast<std::int64_t>(ranges.size()), " documents");
    std::size_t next = 0;
    return moveLoads(
        run, collection,
        [&]() -> std::optional<Load> {
            if (next == ranges.size()) return std::nullopt;
            const ObjectIdSpan& range = ranges[next++];
            return Load{exportQueryOption(range.upper, range.lower)};
        },
        tick);
}

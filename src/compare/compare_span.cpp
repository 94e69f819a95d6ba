#include "compare/compare_span.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "compare/id_listings.h"
#include "compare/repair_work_file.h"
#include "compare/side_summaries.h"
#include "exec/mongo_export_commands.h"
#include "exec/private_file.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// A piece of at most this many documents or rows is compared id by id; a
// larger one is cut again, which costs two calls for a whole level.
constexpr std::int64_t comparedPieceSize = 10'000;

constexpr const char* mongoSide = "MongoDB";
constexpr const char* clickhouseSide = "ClickHouse";

bool same(const Piece& piece) { return piece.documents == piece.rows; }

// The pieces of one level of a narrowing, where each parent's children
// begin and end among them, and the prefixes of the parents by the length
// of parent and child, as ClickHouse groups them.
struct Level {
    std::vector<Piece> pieces;
    std::vector<std::pair<Piece, std::pair<std::size_t, std::size_t>>> children;
    std::map<std::pair<std::size_t, std::size_t>, std::vector<std::string>> parents;
};

class Comparer {
public:
    Comparer(const ComparedCollection& collection, const Host& host,
             const std::function<void(const MissingTerm&)>& onMissing)
        : collection_(collection), host_(host), onMissing_(onMissing) {}

    SpanComparison compare(const ObjectIdSpan& span) {
        if (compareInto(span)) result_.findings = findings_;
        return result_;
    }

private:
    bool compareInto(const ObjectIdSpan& span) {
        // A span without both bounds would compare nothing and look whole.
        if (!isObjectIdText(span.lower) || !isObjectIdText(span.upper))
            return unreadable("", "no ObjectId bounds to compare between");
        const std::optional<Piece> root = pieceOfSpan(span);
        if (!root) {
            result_.rows = Summary{};
            return readOtherIds();
        }
        const SideReading<Summary> rows =
            summarizeCompletedRows(collection_.clickhouse, collection_.completedTable, root->bounds, host_,
                                   collection_.despiteRetryMark);
        if (!rows.value) return unreadable(clickhouseSide, rows.why);
        std::vector<Piece> level = {*root};
        result_.rows = level.front().rows = *rows.value;
        if (!readOtherIds() || !summarizeDocuments(level)) return false;
        const Piece& whole = level.front();
        findings_.documents = whole.documents;
        findings_.rows = whole.rows;
        if (same(whole)) return true;
        say(" differs between ", whole.bounds.lower, " and ", whole.bounds.upper, " : MongoDB ",
            whole.documents.count, ", ClickHouse ", whole.rows.count);
        const ObjectIdSpan bounds = whole.bounds;
        const std::optional<std::vector<Piece>> settled = narrow(std::move(level), bounds);
        return settled && locate(*settled);
    }

    // Whatever span is compared: no span takes such documents in, and while
    // there are any the collection is not whole.
    bool readOtherIds() {
        const SideReading<std::int64_t> others = countOtherIds(collection_.mongo, collection_.name, host_);
        if (!others.value) return unreadable(mongoSide, others.why);
        findings_.otherIds = *others.value;
        return true;
    }

    // The pieces that differ and are not cut further, newest first, going
    // down from `level`; nothing after a read that failed or did not add up.
    std::optional<std::vector<Piece>> narrow(std::vector<Piece> level, const ObjectIdSpan& span) {
        std::vector<Piece> settled;
        for (bool first = true; !level.empty(); first = false) {
            std::vector<Piece> parents;
            for (Piece& piece : level) {
                if (same(piece)) continue;
                if (!first)
                    say(" differs between ", piece.bounds.lower, " and ", piece.bounds.upper, " : MongoDB ",
                        piece.documents.count, ", ClickHouse ", piece.rows.count);
                // A side without anything needs no cutting: all of the piece is
                // missing, or all of it is rows of documents MongoDB let go.
                const bool cutAgain =
                    piece.documents.count > 0 && piece.rows.count > 0 &&
                    std::max(piece.documents.count, piece.rows.count) > comparedPieceSize &&
                    piece.bounds.lower != piece.bounds.upper;
                (cutAgain ? parents : settled).push_back(std::move(piece));
            }
            if (parents.empty()) break;
            Level next = cut(parents);
            if (!summarizeDocuments(next.pieces) || !summarizeRows(next, span) || !addsUp(next))
                return std::nullopt;
            level = std::move(next.pieces);
        }
        std::sort(settled.begin(), settled.end(),
                  [](const Piece& a, const Piece& b) { return a.bounds.upper > b.bounds.upper; });
        return settled;
    }

    // The pieces that cover `parents`, cut so that none should hold more
    // than comparedPieceSize.
    static Level cut(const std::vector<Piece>& parents) {
        Level level;
        for (const Piece& parent : parents) {
            const std::size_t digits = digitsToCut(parent, comparedPieceSize);
            level.parents[{parent.prefix.size(), parent.prefix.size() + digits}].push_back(parent.prefix);
            const std::size_t begin = level.pieces.size();
            for (Piece& child : childrenOf(parent, digits)) level.pieces.push_back(std::move(child));
            level.children.push_back({parent, {begin, level.pieces.size()}});
        }
        return level;
    }

    bool summarizeDocuments(std::vector<Piece>& pieces) {
        const std::string why = summarizePieces(collection_.mongo, collection_.name, pieces, host_);
        return why.empty() || unreadable(mongoSide, why);
    }

    // ClickHouse's side of the level's pieces within `span`: one grouped
    // query per length of the pieces, for up to piecesPerCall parents.
    bool summarizeRows(Level& level, const ObjectIdSpan& span) {
        std::map<std::string, Summary> rows;
        for (const auto& [lengths, prefixes] : level.parents) {
            for (std::size_t first = 0; first < prefixes.size(); first += piecesPerCall) {
                const std::vector<std::string> some(
                    prefixes.begin() + first, prefixes.begin() + std::min(prefixes.size(), first + piecesPerCall));
                const auto summarized = summarizeCompletedRowsByPrefix(
                    collection_.clickhouse, collection_.completedTable, span, lengths.second, some, host_);
                if (!summarized.value) return unreadable(clickhouseSide, summarized.why);
                rows.insert(summarized.value->begin(), summarized.value->end());
            }
        }
        for (Piece& piece : level.pieces) {
            const auto found = rows.find(piece.prefix);
            piece.rows = found == rows.end() ? Summary{} : found->second;
        }
        return true;
    }

    // The children of every parent hold, on each side, what their parent
    // was found to hold; an answer that does not is no answer.
    bool addsUp(const Level& level) {
        for (const auto& [parent, range] : level.children) {
            Summary documents, rows;
            for (std::size_t i = range.first; i < range.second; ++i) {
                documents += level.pieces[i].documents;
                rows += level.pieces[i].rows;
            }
            if (documents != parent.documents) return unreadable(mongoSide, pieceMismatch(mongoSide, parent));
            if (rows != parent.rows) return unreadable(clickhouseSide, pieceMismatch(clickhouseSide, parent));
        }
        return true;
    }

    // Compares the ids of the settled pieces and adds up what it finds;
    // every run of missing documents goes to onMissing.
    bool locate(const std::vector<Piece>& pieces) {
        MissingRuns runs([this](const MissingTerm& term) {
            if (onMissing_) onMissing_(term);
        });
        for (std::size_t first = 0; first < pieces.size(); first += piecesPerCall) {
            const std::size_t last = std::min(pieces.size(), first + piecesPerCall);
            RepairWorkFile mongoIds("mongo-ids.txt");
            RepairWorkFile oids("clickhouse-oids.txt");
            if (!listIds(pieces, first, last, mongoIds, oids)) return false;
            IdStreamComparison ids([&mongoIds](std::string& line) { return mongoIds.readLine(line); },
                                   [&oids](std::string& line) { return oids.readLine(line); });
            for (std::size_t i = first; i < last; ++i)
                if (!locateIn(pieces[i], ids, runs)) return false;
            if (const std::optional<IdEvent> beyond = ids.next("")) {
                const char* side = beyond->match == IdMatch::missing ? mongoSide : clickhouseSide;
                return unreadable(side, std::string(side) + " listed " + beyond->id + " outside the pieces asked for");
            }
        }
        runs.finish();
        adviseOnRowsTwice();
        return true;
    }

    bool locateIn(const Piece& piece, IdStreamComparison& ids, MissingRuns& runs) {
        if (piece.rows.count == 0) {
            runs.wholePiece(piece.bounds.upper, piece.bounds.lower, piece.documents.count);
            findings_.missing += piece.documents.count;
            return true;
        }
        runs.beginPiece(piece.bounds.upper, piece.bounds.lower);
        if (piece.documents.count == 0) {
            findings_.letGo += piece.rows.count;
            return true;
        }
        std::int64_t documents = 0, rows = 0;
        while (const std::optional<IdEvent> event = ids.next(piece.bounds.lower)) {
            documents += event->match == IdMatch::missing || event->match == IdMatch::present;
            rows += event->match != IdMatch::missing;
            switch (event->match) {
                case IdMatch::missing:
                    runs.missing(event->id);
                    ++findings_.missing;
                    break;
                case IdMatch::present:
                    runs.present();
                    break;
                case IdMatch::twice:
                    if (findings_.twice++ == 0) twiceNewest_ = event->id;
                    twiceOldest_ = event->id;
                    break;
                case IdMatch::letGo:
                    ++findings_.letGo;
                    break;
            }
        }
        // A listing that is not what the summaries said tells nothing.
        if (!ids.unordered().empty())
            return unreadable(ids.unordered(), std::string(ids.unordered()) + " listed ids out of order");
        if (documents != piece.documents.count)
            return unreadable(mongoSide, listingMismatch(mongoSide, documents, piece.documents.count));
        if (rows != piece.rows.count)
            return unreadable(clickhouseSide, listingMismatch(clickhouseSide, rows, piece.rows.count));
        return true;
    }

    // A retry mends rows held twice by clearing the whole span, and with it
    // the rows of documents MongoDB let go: the advice says what it costs.
    void adviseOnRowsTwice() const {
        if (findings_.twice == 0) return;
        const auto day = [](const std::string& id) { return formatTime(std::stoll(id.substr(0, 8), nullptr, 16), "%Y-%m-%d"); };
        const std::string days = day(twiceOldest_) == day(twiceNewest_)
                                     ? "on " + day(twiceOldest_)
                                     : "from " + day(twiceOldest_) + " to " + day(twiceNewest_);
        if (findings_.letGo == 0)
            say(" holds ", findings_.twice, " rows twice ", days, ": run retry -t ", collection_.name);
        else
            say(" holds ", findings_.twice, " rows twice ", days, ": run retry -t ", collection_.name,
                " --delete-history, which also deletes the ", findings_.letGo,
                " rows of documents MongoDB no longer holds");
    }

    // The ids of the pieces [first, last) that both sides hold some of, into
    // the two work files, newest first.
    bool listIds(const std::vector<Piece>& pieces, std::size_t first, std::size_t last,
                 RepairWorkFile& mongoIds, RepairWorkFile& oids) {
        if (!mongoIds.opened()) return cannotWrite(mongoIds.path());
        if (!oids.opened()) return cannotWrite(oids.path());
        std::vector<ObjectIdSpan> listed;
        for (std::size_t i = first; i < last; ++i) {
            if (pieces[i].documents.count > 0 && pieces[i].rows.count > 0) listed.push_back(pieces[i].bounds);
        }
        if (!listed.empty()) {
            RepairWorkFile query("query.json");
            if (!query.opened() || !query.write(objectIdQueryText(listed, {})) || !query.finishWriting())
                return cannotWrite(query.path());
            const auto into = [](RepairWorkFile& file) {
                return [&file](std::string_view id) {
                    file.write(id);
                    file.write("\n");
                };
            };
            IdListing listing = listDocumentIds(collection_.mongo, collection_.name, query.path(),
                                                exportConfigPath(), host_, into(mongoIds));
            if (!listing.listed) return unreadable(mongoSide, listing.why);
            listing = listCompletedOids(collection_.clickhouse, collection_.completedTable, listed, host_,
                                        into(oids));
            if (!listing.listed) return unreadable(clickhouseSide, listing.why);
        }
        if (!mongoIds.finishWriting()) return cannotWrite(mongoIds.path());
        if (!oids.finishWriting()) return cannotWrite(oids.path());
        return true;
    }

    static std::string pieceMismatch(std::string_view side, const Piece& parent) {
        return std::string(side) + "'s pieces between " + parent.bounds.lower + " and " + parent.bounds.upper +
               " do not add up to them";
    }

    static std::string listingMismatch(std::string_view side, std::int64_t listed, std::int64_t summarized) {
        return std::string(side) + " listed " + std::to_string(listed) + " ids for a piece of " +
               std::to_string(summarized);
    }

    bool cannotWrite(const std::string& path) { return unreadable("", "cannot write the work file " + path); }

    // Gives false for the caller to hand on.
    bool unreadable(std::string_view side, const std::string& why) {
        result_.unreadableSide = side;
        result_.why = why;
        return false;
    }

    template <typename... Pieces>
    void say(const Pieces&... pieces) const {
        if (!collection_.loggedAs.empty())
            LOG_AS(collection_.loggedAs, collection_.name, joinPieces(pieces...));
    }

    const ComparedCollection& collection_;
    const Host& host_;
    const std::function<void(const MissingTerm&)>& onMissing_;
    SpanComparison result_;
    SpanFindings findings_;
    std::string twiceNewest_, twiceOldest_;
};
}  // namespace

SpanComparison compareSpan(const ComparedCollection& collection, const ObjectIdSpan& span,
                           const Host& host, const std::function<void(const MissingTerm&)>& onMissing) {
    return Comparer(collection, host, onMissing).compare(span);
}

std::string describeFindings(const SpanFindings& findings) {
    std::string text = "MongoDB " + std::to_string(findings.documents.count) + ", ClickHouse " +
                       std::to_string(findings.rows.count);
    if (findings.missing > 0) text += ", " + std::to_string(findings.missing) + " missing";
    if (findings.twice > 0) text += ", " + std::to_string(findings.twice) + " twice";
    if (findings.otherIds > 0)
        text += ", " + std::to_string(findings.otherIds) +
                (findings.otherIds == 1 ? " document whose _id is" : " documents whose _id is") + " not an ObjectId";
    return text;
}

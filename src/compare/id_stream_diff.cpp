#include "compare/id_stream_diff.h"

#include "compare/object_id_pieces.h"

IdStreamComparison::IdStreamComparison(LineSource mongo, LineSource clickhouse) {
    mongo_.source = std::move(mongo);
    mongo_.side = "MongoDB";
    clickhouse_.source = std::move(clickhouse);
    clickhouse_.side = "ClickHouse";
    advance(mongo_, false);
    advance(clickhouse_, true);
}

// MongoDB holds each `_id` once; a completed table may hold an `oid` twice.
void IdStreamComparison::advance(Head& head, bool repeatsAllowed) {
    std::string line;
    while (head.source(line) && line.empty()) {
    }
    if (line.empty()) {
        head.held = false;
        return;
    }
    if (head.held && (line > head.id || (line == head.id && !repeatsAllowed))) {
        unordered_ = head.side;
        mongo_.held = clickhouse_.held = false;
        return;
    }
    head.id = std::move(line);
    head.held = true;
}

std::optional<IdEvent> IdStreamComparison::next(std::string_view lowest) {
    const bool fromMongo = mongo_.held && mongo_.id >= lowest;
    const bool fromClickHouse = clickhouse_.held && clickhouse_.id >= lowest;
    if (!fromMongo && !fromClickHouse) return std::nullopt;
    if (fromMongo && (!fromClickHouse || mongo_.id > clickhouse_.id)) {
        IdEvent event{IdMatch::missing, mongo_.id};
        advance(mongo_, false);
        return event;
    }
    if (!fromMongo || clickhouse_.id > mongo_.id) {
        const bool repeatOfPresent = clickhouse_.id == lastRow_ && lastRowMatch_ != IdMatch::letGo;
        return takeRow(repeatOfPresent ? IdMatch::twice : IdMatch::letGo);
    }
    advance(mongo_, false);
    return takeRow(IdMatch::present);
}

IdEvent IdStreamComparison::takeRow(IdMatch match) {
    IdEvent event{match, clickhouse_.id};
    lastRow_ = clickhouse_.id;
    lastRowMatch_ = match;
    advance(clickhouse_, true);
    return event;
}

MissingRuns::MissingRuns(std::function<void(const MissingTerm&)> onTerm)
    : onTerm_(std::move(onTerm)) {}

void MissingRuns::beginPiece(const std::string& upper, const std::string& lower) {
    if (open_ && nextObjectId(upper) != pieceLower_) close();
    pieceLower_ = lower;
}

void MissingRuns::missing(const std::string& id) {
    if (!open_) open_ = MissingTerm{id, id, 0};
    open_->lower = id;
    ++open_->documents;
}

void MissingRuns::wholePiece(const std::string& upper, const std::string& lower,
                             std::int64_t documents) {
    beginPiece(upper, lower);
    if (!open_) open_ = MissingTerm{lower, upper, 0};
    open_->lower = lower;
    open_->documents += documents;
}

void MissingRuns::close() {
    if (open_) onTerm_(*open_);
    open_.reset();
}

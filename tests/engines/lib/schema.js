'use strict';
// The ClickHouse objects a server of the product holds for the migration:
// per collection a staging table that takes one JSON line per row, and two
// materialized views that carry every staged row on to the completed table
// (what the tool reads back) and to the target table (what the product reads).

const fs = require('fs');
const path = require('path');

const COLLECTIONS_FILE = path.join(__dirname, '..', 'collections.txt');
const REPORT_COLLECTIONS = new Set([
  'tb_report_status', 'tb_report_summary_data', 'tb_report_data', 'tb_base_report_data',
]);

function readCollections(file = COLLECTIONS_FILE) {
  return fs.readFileSync(file, 'utf8').split('\n')
    .map((line) => line.trim())
    .filter((line) => line && !line.startsWith('#') && !line.startsWith('['));
}

// The first "j4" of a collection name becomes "zq" in ClickHouse.
function olapName(collection) {
  return collection.replace('j4', 'zq');
}

const OID = "JSONExtractString(line, '_id', '$oid')";
const SERVER_TIME = 'toInt64(reinterpretAsUInt32(reverse(unhex(substring(oid, 1, 8))))) * 1000';

function documentTime(field) {
  return [
    `parseDateTime64BestEffortOrNull(JSONExtractString(line, '${field}', '$date'), 3, 'UTC')`,
    `parseDateTime64BestEffortOrNull(JSONExtractString(line, '${field}'), 3, 'UTC')`,
  ];
}

// A report row is dated by its create_time, else its data_date, else its ObjectId.
const CREATE_TIME = `toDateTime(coalesce(${[
  ...documentTime('create_time'),
  ...documentTime('data_date'),
  "toDateTime64(intDiv(server_time, 1000), 3, 'UTC')",
].join(', ')}), 'UTC')`;

function collectionStatements(collection) {
  const name = olapName(collection);
  const report = REPORT_COLLECTIONS.has(collection);
  const month = "toYYYYMM(toDateTime(intDiv(server_time, 1000), 'UTC'))";
  return [
    `CREATE TABLE mig_${name} (line String) ENGINE = MergeTree ORDER BY tuple()`,
    `CREATE TABLE mig_${name}_completed (server_time Int64, oid String) ` +
      'ENGINE = MergeTree ORDER BY (server_time, oid)',
    `CREATE TABLE ${name} (server_time Int64, oid String, document String` +
      (report ? ", create_time DateTime('UTC')" : '') +
      `) ENGINE = MergeTree PARTITION BY ${month} ORDER BY (server_time, oid)`,
    `CREATE MATERIALIZED VIEW mig_${name}_to_completed TO mig_${name}_completed AS ` +
      `SELECT ${OID} AS oid, ${SERVER_TIME} AS server_time FROM mig_${name}`,
    `CREATE MATERIALIZED VIEW mig_${name}_to_target TO ${name} AS ` +
      `SELECT ${OID} AS oid, ${SERVER_TIME} AS server_time, line AS document` +
      (report ? `, ${CREATE_TIME} AS create_time` : '') + ` FROM mig_${name}`,
  ];
}

function statements(collections = readCollections()) {
  return [
    'CREATE TABLE mig_tb_preprocess_completed (completed_time DateTime64(3), table_name String) ' +
      'ENGINE = MergeTree ORDER BY tuple()',
    ...collections.flatMap(collectionStatements),
  ];
}

module.exports = { COLLECTIONS_FILE, REPORT_COLLECTIONS, readCollections, olapName, statements };

'use strict';
// Where the chdb package lives: installed once per machine by
// scripts/install-test-deps, outside the work tree.

const path = require('path');

const VERSION = '3.4.0';

function installDirectory() {
  return process.env.QOR_CHDB_DIR || `/var/cache/qorolapmigrate/chdb-${VERSION}`;
}

function load() {
  const directory = installDirectory();
  try {
    return require(path.join(directory, 'node_modules', 'chdb'));
  } catch (error) {
    process.stderr.write(`chdb ${VERSION} is not installed in ${directory} ` +
      `(run scripts/install-test-deps): ${error.message}\n`);
    process.exit(127);
  }
}

module.exports = { VERSION, installDirectory, load };

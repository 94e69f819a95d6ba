'use strict';
// Running the client's statements on a chDB session: shared by the
// in-process path of the stand-in and by the resident session server.

const PORT = '8820';
// Rows travel to the engine in slices of about this many bytes, cut at line ends.
const SLICE_BYTES = 8 * 1024 * 1024;
const INSERT_FROM_INPUT = /^INSERT\s+INTO\s+[\s\S]+\sFORMAT\s+\w+$/i;

class Refusal extends Error {
  constructor(code, message) {
    super(message);
    this.code = code;
  }
}

function engineRefusal(error) {
  if (error instanceof Refusal) return error;
  const found = /Code: (\d+)\. ([\s\S]*)$/.exec(error.message);
  if (!found) return new Refusal(1001, error.message);
  return new Refusal(Number(found[1]), found[2].replace(/^DB::Exception: /, ''));
}

function splitStatements(query) {
  const statements = [];
  let current = '';
  let quote = null;
  for (let index = 0; index < query.length; index += 1) {
    const char = query[index];
    if (quote) {
      current += char;
      if (char === '\\' && index + 1 < query.length) {
        index += 1;
        current += query[index];
      } else if (char === quote) {
        quote = null;
      }
    } else if (char === "'" || char === '"' || char === '`') {
      quote = char;
      current += char;
    } else if (char === ';') {
      statements.push(current);
      current = '';
    } else {
      current += char;
    }
  }
  statements.push(current);
  return statements.map((text) => text.trim()).filter(Boolean);
}

function readsInput(statements) {
  return statements.length > 0 && INSERT_FROM_INPUT.test(statements[statements.length - 1]);
}

// Takes the rows of an INSERT ... FORMAT piece by piece and sends them in
// slices, the way the real client sends blocks; no rows at all is refused.
class Inserter {
  constructor(session, statement) {
    this.session = session;
    this.statement = statement;
    this.buffer = Buffer.alloc(SLICE_BYTES);
    this.filled = 0;
    this.seenAny = false;
  }

  push(data) {
    let offset = 0;
    while (offset < data.length) {
      if (this.filled === this.buffer.length) this.sendWholeLines();
      const copied = data.copy(this.buffer, this.filled, offset);
      this.filled += copied;
      offset += copied;
      this.seenAny = true;
    }
  }

  finish() {
    if (!this.seenAny) throw new Refusal(108, 'No data to insert. (NO_DATA_TO_INSERT)');
    this.send(this.filled);
    this.filled = 0;
  }

  sendWholeLines() {
    const cut = this.buffer.lastIndexOf(10, this.filled - 1);
    if (cut < 0) {
      const larger = Buffer.alloc(this.buffer.length * 2);
      this.buffer.copy(larger, 0, 0, this.filled);
      this.buffer = larger;
      return;
    }
    this.send(cut + 1);
    this.buffer.copyWithin(0, cut + 1, this.filled);
    this.filled -= cut + 1;
  }

  send(end) {
    if (end === 0) return;
    try {
      this.session.query(`${this.statement}\n${this.buffer.toString('utf8', 0, end)}`, 'TabSeparated');
    } catch (error) {
      throw engineRefusal(error);
    }
  }
}

// Runs every statement but a final INSERT that takes input, handing each
// result to `write`; returns the Inserter for that INSERT, else null. The
// first failing statement stops the run, as in the real client.
function runStatements(session, statements, write) {
  const takesInput = readsInput(statements);
  const immediate = takesInput ? statements.slice(0, -1) : statements;
  for (const statement of immediate) {
    try {
      write(session.query(statement, 'TabSeparated'));
    } catch (error) {
      throw engineRefusal(error);
    }
  }
  return takesInput ? new Inserter(session, statements[statements.length - 1]) : null;
}

function serverSocket(sessionDir) {
  return require('path').join(sessionDir, '.qor-server.sock');
}

module.exports = {
  PORT, Refusal, engineRefusal, splitStatements, readsInput, runStatements, serverSocket,
};

'use strict';
// The same invocation records as the Python doubles write (see
// tests/fakes/README.md): `<20-digit ns>-<7-digit pid>-<program>` with
// `.argv` (NUL-terminated arguments) and, when kept, `.stdin`.

const fs = require('fs');
const path = require('path');

function wallClockNanoseconds() {
  const millis = performance.timeOrigin + performance.now();
  return BigInt(Math.floor(millis)) * 1000000n + BigInt(Math.floor((millis % 1) * 1e6));
}

function writeWhole(file, data) {
  fs.writeFileSync(`${file}.part`, data);
  fs.renameSync(`${file}.part`, file);
}

function start(program, args) {
  const directory = process.env.QOR_RECORD_DIR;
  if (!directory) return { stem: null, stdinWriter: () => null };
  fs.mkdirSync(directory, { recursive: true });
  const stem = path.join(directory,
    `${wallClockNanoseconds().toString().padStart(20, '0')}-` +
    `${String(process.pid).padStart(7, '0')}-${program}`);
  writeWhole(`${stem}.argv`, Buffer.concat(
    [program, ...args].map((arg) => Buffer.from(`${arg}\0`))));
  return {
    stem,
    // Standard input can be large, so it is appended piece by piece.
    stdinWriter() {
      const partial = `${stem}.stdin.part`;
      const fd = fs.openSync(partial, 'w');
      return {
        append(data) { fs.writeSync(fd, data); },
        close() {
          fs.closeSync(fd);
          fs.renameSync(partial, `${stem}.stdin`);
        },
      };
    },
  };
}

module.exports = { start };

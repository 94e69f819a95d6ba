'use strict';
// What a MongoDB server keeps along its _id index, for the benchmark's million documents: the MongoDB
// double (tests/fakes/mongo) reads its collections through this when QOR_MONGO_STORE names it, so that
// a call costs what it costs a server instead of a pass over the whole file. Kept beside each fixture
// while the file and the double are unchanged: the ids in their order (.NAME.ids) and, for a $sum, the
// running total of its expression before each document (.NAME.HASH.sums).
module.exports = ({ fs, fail, fileOf, oidOf, COMPARE, Num, INT, LONG, DOUBLE, big, exact, fits64, intOrLong, literal, total, stored }) => {
  const read = (fd, at, n) => { const b = Buffer.allocUnsafe(n); return b.subarray(0, fs.readSync(fd, b, 0, n, at)); };
  // [from, to) of a run of ids newest first whose ids meet every bound, where first(holds) is where holding
  // begins (holding, once true, stays true down the run) and "" stands for an id that is not an ObjectId.
  const bisect = (lo, hi, holds) => { while (lo < hi) { const mid = Math.floor((lo + hi) / 2); if (holds(mid)) hi = mid; else lo = mid + 1; } return lo; };
  function span(bounds, first) {
    const meets = (hex, side) => bounds.every(([op, v]) => !op.startsWith(side) || COMPARE[op](hex < v ? -1 : hex > v ? 1 : 0));
    const from = first((hex) => meets(hex, '$l'));
    return [from, Math.max(from, first((hex) => !hex || !meets(hex, '$g')))];
  }

  function open(name) {  // a collection's file, read where it is needed
    let fd;
    try { fd = fs.openSync(fileOf(name), 'r'); } catch (e) { if (e.code === 'ENOENT') return null; throw e; }
    const size = fs.fstatSync(fd).size, bytes = (at, n) => read(fd, at, n);
    const lineAt = (at) => {  // [the line, where the next begins]
      for (let n = 512; ; n *= 8) {
        const b = bytes(at, n), end = b.indexOf(10);
        if (end >= 0 || at + b.length >= size) return [b.subarray(0, end >= 0 ? end : b.length), end >= 0 ? at + end + 1 : size];
      }
    };
    const lineFrom = (at) => (at ? lineAt(at - 1)[1] : 0);  // the first line that begins at or after `at`
    return {
      size,
      between: (bounds) => span(bounds, (holds) => lineFrom(bisect(0, size, (at) => lineFrom(at) >= size || holds(oidOf(lineAt(lineFrom(at))[0]))))),
      * lines(from, to, backward) {  // a megabyte at a time, from the end when asked
        let rest = Buffer.alloc(0);
        for (let at = backward ? to : from; backward ? at > from : at < to;) {
          const n = Math.min(1 << 20, backward ? at - from : to - at), chunk = bytes(backward ? at - n : at, n), pieces = [];
          at += backward ? -n : n;
          const data = backward ? Buffer.concat([chunk, rest]) : Buffer.concat([rest, chunk]);
          for (let start = 0, end; start <= data.length; start = end + 1) pieces.push(data.subarray(start, end = (data.indexOf(10, start) + 1 || data.length + 1) - 1));
          rest = backward ? pieces.shift() : pieces.pop();
          yield* (backward ? pieces.reverse() : pieces).filter((p) => p.length);
        }
        if (rest.length) yield rest;
      },
    };
  }

  const identity = (file) => [file, __filename, require.main.filename].map((f) => { const s = fs.statSync(f, { bigint: true }); return `${s.size}:${s.mtimeNs}:${s.ino}`; }).join(' ');
  const opened = new Map();
  function cached(cache, key, build) {  // [header, fd, where the records begin]
    if (opened.has(cache)) return opened.get(cache);
    try {
      const fd = fs.openSync(cache, 'r'), text = read(fd, 4, read(fd, 0, 4).readUInt32LE(0)), header = JSON.parse(text);
      if (header.key === key) return opened.set(cache, [header, fd, 4 + text.length]).get(cache);
      fs.closeSync(fd);
    } catch (e) { if (!['ENOENT', undefined].includes(e.code)) throw e; }
    const [header, records] = build(), text = Buffer.from(JSON.stringify({ ...header, key })), head = Buffer.alloc(4);
    head.writeUInt32LE(text.length);
    fs.writeFileSync(`${cache}.${process.pid}`, Buffer.concat([head, text, records]));
    fs.renameSync(`${cache}.${process.pid}`, cache);
    return cached(cache, key, () => fail('(the MongoDB index could not read back its cache)'));
  }
  const collections = new Map();
  const collection = (name) => collections.get(name) || collections.set(name, indexed(name)).get(name);
  function indexed(name) {
    const file = fileOf(name), f = open(name);
    if (!f) return { n: 0, noid: 0 };
    const [header, fd, base] = cached(`${file.slice(0, file.lastIndexOf('/'))}/.${name}.ids`, identity(file), () => {
      const oids = [], others = [];
      for (const line of f.lines(0, f.size)) {
        const oid = oidOf(line);
        if (oid && (others.length || oid >= oids[oids.length - 1])) fail(`(the MongoDB double's ${file} is not newest first, other ids last, at ${oid})`);
        if (oid) oids.push(oid); else others.push(JSON.stringify(JSON.parse(line)._id));
      }
      return [{ n: oids.length + others.length, noid: oids.length, others }, Buffer.from(oids.join(''), 'hex')];
    });
    const oids = read(fd, base, 12 * header.noid);  // 12 bytes a document, read once a call
    const hex = (i) => oids.toString('hex', 12 * i, 12 * i + 12);
    // The i-th document as the index holds it: the ObjectIds first, then the other ids.
    const doc = (i) => ({ _id: stored(i < header.noid ? { $oid: hex(i) } : JSON.parse(header.others[i - header.noid])) });
    return { ...header, name, file, key: identity(file), hex, doc };
  }

  // A span's $sum as a difference of running totals, where that is what the server computes: every value
  // an int or a long, none negative, and the total within the long range. Otherwise null.
  function runningSum(c, from, to, { expression, compiled }) {
    if (typeof expression === 'number') { const k = literal(expression); return k.t === DOUBLE ? null : total([new Num(k.t, big(k.v) * big(to - from))]); }
    const text = JSON.stringify(expression);
    let h = 2166136261, g = 5381;  // names the file of its running totals, which holds the expression whole
    for (let i = 0; i < text.length; ++i) { h = Math.imul(h ^ text.charCodeAt(i), 16777619); g = Math.imul(g, 33) ^ text.charCodeAt(i); }
    const [, fd, base] = cached(`${c.file.slice(0, c.file.lastIndexOf('/'))}/.${c.name}.${(h >>> 0).toString(16)}${(g >>> 0).toString(16)}.sums`, `${c.key} ${text}`, () => {
      const records = Buffer.alloc(24 * (c.n + 1));  // the total before each document, as two words; odd values and longs before it
      let sum = 0n, odd = 0, longs = 0;
      const note = (i) => {
        records.writeBigUInt64LE(sum & (2n ** 64n - 1n), 24 * i); records.writeBigUInt64LE(sum >> 64n, 24 * i + 8);
        records.writeUInt32LE(odd, 24 * i + 16); records.writeUInt32LE(longs, 24 * i + 20);
      };
      for (let i = 0; i < c.n; ++i) {
        note(i);
        let v = null;
        try { v = compiled({ doc: c.doc(i), vars: null }); } catch { /* the server fails on it: odd */ }
        if (v instanceof Num && v.t !== DOUBLE && v.v >= 0) { sum += big(v.v); longs += Number(v.t === LONG); } else odd += 1;
      }
      note(c.n);
      return [{}, records];
    });
    const [a, b] = [from, to].map((i) => read(fd, base + 24 * i, 24));
    const sum = b.readBigUInt64LE(0) + (b.readBigUInt64LE(8) << 64n) - a.readBigUInt64LE(0) - (a.readBigUInt64LE(8) << 64n);
    if (b.readUInt32LE(16) !== a.readUInt32LE(16) || !fits64(sum)) return null;
    return intOrLong(exact(sum), b.readUInt32LE(20) !== a.readUInt32LE(20) ? LONG : INT);
  }

  return {
    // As the double's own: the lines of the documents that meet any of `spans`, each once, found by bisection.
    lines(name, spans, ascending) {
      const f = open(name);
      if (!f) return null;
      const runs = spans ? spans.map((bounds) => f.between(bounds)).sort((a, b) => a[0] - b[0]) : [[0, f.size]];
      const merged = runs.reduce((m, [from, to]) => (m.length && from <= m[m.length - 1][1] ? (m[m.length - 1][1] = Math.max(m[m.length - 1][1], to), m) : [...m, [from, to]]), []);
      return (function* () { for (const [from, to] of ascending ? merged.reverse() : merged) yield* f.lines(from, to, ascending); })();
    },
    // The $sums of the documents within ObjectId bounds, as { count, sums }, or null where the index cannot tell.
    group(name, bounds, fields) {
      const c = collection(name);
      if (!c.n) return { count: 0 };
      const [from, to] = span(bounds, (holds) => bisect(0, c.noid, (i) => holds(c.hex(i))));
      const sums = fields.map((field) => runningSum(c, from, to, field));
      return sums.every((s) => s) ? { count: to - from, sums } : null;
    },
  };
};

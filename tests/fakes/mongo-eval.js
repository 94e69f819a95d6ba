'use strict';
// The mongosh double's evaluator (tests/README.md): runs the script given as its argument (what follows
// db.auth) as JavaScript; its aggregations and counts are computed over the _id of each document of
// QOR_MONGO_DIR/<collection>.jsonl with MongoDB's typed arithmetic as MongoDB's manual documents it.
// What it does not model fails the call the way the shell fails, never a guess.
const fs = require('fs'), vm = require('vm');

class MongoServerError extends Error { get name() { return 'MongoServerError'; } }
const fail = (message) => { throw new MongoServerError(message); };
// Numbers as MongoDB types them; an int's or a long's value is a Number while that is exact, else a BigInt.
const INT = 0, LONG = 1, DOUBLE = 2;
class Num { constructor(t, v) { this.t = t; this.v = v; } }
class ObjectId { constructor(hex) { this.hex = hex; } toString() { return this.hex; } }
class Long { constructor(v) { this.v = v; } toString() { return String(this.v); } valueOf() { return Number(this.v); } }
const SAFE = BigInt(Number.MAX_SAFE_INTEGER), big = (v) => BigInt(v);
const exact = (v) => (typeof v === 'bigint' && v >= -SAFE && v <= SAFE ? Number(v) : v);
const both = (a, b) => typeof a === 'number' && typeof b === 'number';
const plus = (a, b) => (both(a, b) && Number.isSafeInteger(a + b) ? a + b : exact(big(a) + big(b)));
const times = (a, b) => (both(a, b) && Number.isSafeInteger(a * b) ? a * b : exact(big(a) * big(b)));
const fits32 = (v) => typeof v === 'number' && v >= -(2 ** 31) && v < 2 ** 31;
const fits64 = (v) => typeof v === 'number' || (v >= -(2n ** 63n) && v < 2n ** 63n);
const asDouble = (x) => (x.t === DOUBLE ? x.v : Number(x.v));
const intOrLong = (v, t) => new Num(t === INT && fits32(v) ? INT : LONG, v);
// mongosh sends an integral number within the int range as an int, any other as a double.
const literal = (n) => new Num(Number.isInteger(n) && !Object.is(n, -0) && fits32(n) ? INT : DOUBLE, n);
const TYPES = { 1: 'double', 2: 'string', 3: 'object', 4: 'array', 7: 'objectId', 8: 'bool', 9: 'date', 10: 'null', 16: 'int', 18: 'long' };
const typeName = (x) => (x === undefined ? 'missing' : x === null ? 'null' : x instanceof Num ? ['int', 'long', 'double'][x.t]
  : x instanceof ObjectId ? 'objectId' : x instanceof Date ? 'date' : Array.isArray(x) ? 'array' : { string: 'string', boolean: 'bool' }[typeof x] || 'object');
const numeric = (x, op) => (x instanceof Num ? x : fail(`${op} only supports numeric types, not ${typeName(x)}`));
function index(x, what) {  // a non-negative integral number
  if (!(x instanceof Num) || !Number.isInteger(asDouble(x))) fail(`${what} must resolve to an integral number`);
  return asDouble(x) < 0 ? fail(`${what} must be non-negative (got: ${asDouble(x)})`) : asDouble(x);
}
const seen = new Map();  // whether a string is ASCII: its bytes are its characters
const ascii = (s) => seen.get(s) ?? (seen.size > 99 && seen.clear(), seen.set(s, /^[\x00-\x7f]*$/.test(s)).get(s));

// Expressions compile once to functions of {doc, vars}: a document holds its _id, a $let's scope its
// names and values and the scope around it.
function compile(e) {
  if (typeof e === 'number') { const v = literal(e); return () => v; }
  if (typeof e === 'string' && e.startsWith('$$')) {  // the innermost $let that binds it
    const name = e.slice(2);
    return (c) => { for (let s = c.vars; s; s = s.outer) if (s.names.includes(name)) return s.values[s.names.indexOf(name)]; return fail(`Use of undefined variable: ${name}`); };
  }
  if (typeof e === 'string' && e.startsWith('$')) return e === '$_id' ? (c) => c.doc._id : fail(`(the test double's documents hold only _id, not ${e})`);
  if (Array.isArray(e)) { const items = e.map(compile); return (c) => items.map((f) => f(c)); }
  if (e === null || typeof e !== 'object' || e instanceof ObjectId) return () => e;
  const keys = Object.keys(e), name = keys[0];
  if (keys.length !== 1 || !name.startsWith('$')) {
    const fields = keys.map((k) => [k, compile(e[k])]);
    return (c) => Object.fromEntries(fields.map(([k, f]) => [k, f(c)]));
  }
  if (name === '$let') return compileLet(e.$let);
  const op = OPERATORS[name] || fail(`Invalid $group :: caused by :: Unrecognized expression '${name}'`);
  const args = (Array.isArray(e[name]) ? e[name] : [e[name]]).map(compile), n = args.length, [a, b, d] = args;
  const [least, most] = name === '$indexOfBytes' ? [2, 4] : op.length ? [op.length, op.length] : [0, Infinity];
  if (n < least || n > most) fail(`Expression ${name} takes ${least} to ${most} arguments. ${n} were passed in.`);
  if (n <= 3) return n === 0 ? () => op() : n === 1 ? (c) => op(a(c)) : n === 2 ? (c) => op(a(c), b(c)) : (c) => op(a(c), b(c), d(c));
  return (c) => { const xs = new Array(n); for (let i = 0; i < n; ++i) xs[i] = args[i](c); return op(...xs); };
}
function compileLet({ vars, in: body, ...rest }) {
  if (!vars || body === undefined || Object.keys(rest).length) fail("$let only supports 'vars' and 'in'");
  const names = Object.keys(vars).map((n) => (/^[a-z\u0080-\uffff]/.test(n) ? n : fail(`'${n}' starts with an invalid character for a user variable name`)));
  const values = names.map((n) => compile(vars[n])), inner = compile(body);
  // Its values are computed in the scope around it; its body sees both.
  return (c) => inner({ doc: c.doc, vars: { outer: c.vars, names, values: values.map((f) => f(c)) } });
}

const OPERATORS = {
  $add(...xs) {  // long arithmetic; a long that overflows goes on as a double
    let t = INT, total = 0, d = 0;
    for (const x of xs) {
      if (x == null) return null;
      if (x.t === DOUBLE && t !== DOUBLE) d = Number(total);
      t = Math.max(t, numeric(x, '$add').t);
      if (t === DOUBLE) { d += asDouble(x); continue; }
      const sum = plus(total, x.v);
      if (fits64(sum)) total = sum; else { t = DOUBLE; d = Number(total) + Number(x.v); }
    }
    return t === DOUBLE ? new Num(DOUBLE, d) : intOrLong(total, t);
  },
  $multiply(...xs) {  // long arithmetic; with a double, or once the long overflows, the product of them all as doubles
    let t = INT, product = 1;
    for (const x of xs) {
      if (x == null) return null;
      t = Math.max(t, numeric(x, '$multiply').t);
      if (t !== DOUBLE) { product = times(product, x.v); if (!fits64(product)) t = DOUBLE; }
    }
    return t === DOUBLE ? new Num(DOUBLE, xs.reduce((p, x) => p * asDouble(x), 1)) : intOrLong(product, t);
  },
  $divide(a, b) {
    if (a == null || b == null) return null;
    if (asDouble(numeric(b, '$divide')) === 0) fail("can't $divide by zero");
    return new Num(DOUBLE, asDouble(numeric(a, '$divide')) / asDouble(b));
  },
  $mod(a, b) {  // the dividend's sign, the wider type
    if (a == null || b == null) return null;
    if (!(a instanceof Num && b instanceof Num)) fail(`$mod only supports numeric types, not ${typeName(a)} and ${typeName(b)}`);
    if (asDouble(b) === 0) fail("can't $mod by zero");
    const t = Math.max(a.t, b.t);
    return new Num(t, t === DOUBLE ? asDouble(a) % asDouble(b) : both(a.v, b.v) ? a.v % b.v : exact(big(a.v) % big(b.v)));
  },
  $toLong: (x) => convert(x, LONG), $toInt: (x) => convert(x, INT),
  $toString(x) {
    if (x == null || typeof x === 'string') return x ?? null;
    if (x instanceof ObjectId) return x.hex;
    if (x instanceof Date) return x.toISOString();
    if (typeof x === 'boolean' || (x instanceof Num && x.t !== DOUBLE)) return String(x instanceof Num ? x.v : x);
    return fail(`(the test double models no $toString of a ${typeName(x)})`);
  },
  $toDate(x) {
    if (x == null || x instanceof Date) return x ?? null;
    if (x instanceof ObjectId) return new Date(parseInt(x.hex.slice(0, 8), 16) * 1000);
    if (x instanceof Num && x.t !== INT) return new Date(Math.trunc(asDouble(x)));
    return fail(`Unsupported conversion from ${typeName(x)} to date in $convert with no onError value`);
  },
  $substrBytes(s, start, count) {
    if (s == null) s = '';
    if (typeof s !== 'string') fail(`$substrBytes: string expected, not ${typeName(s)}`);
    const from = index(start, '$substrBytes: starting index');
    const n = asDouble(numeric(count, '$substrBytes')) < 0 ? Infinity : Math.trunc(asDouble(count));  // negative: the rest
    if (ascii(s)) return s.substring(from, from + n);
    const bytes = Buffer.from(s), inside = (i) => i < bytes.length && (bytes[i] & 0xc0) === 0x80;
    if (inside(from)) fail('$substrBytes:  Invalid range, starting index is a UTF-8 continuation byte.');
    if (inside(from + n)) fail('$substrBytes:  Invalid range, ending index is in the middle of a UTF-8 character.');
    return bytes.subarray(from, from + n).toString();
  },
  $indexOfBytes(s, sub, start, end) {
    if (s == null) return null;
    if (typeof s !== 'string' || typeof sub !== 'string') fail(`$indexOfBytes requires strings, found: ${typeName(s)} and ${typeName(sub)}`);
    const from = start === undefined ? 0 : index(start, '$indexOfBytes starting index');
    const plain = ascii(s) && ascii(sub), bytes = plain ? s : Buffer.from(s);
    const to = Math.min(bytes.length, end === undefined ? Infinity : index(end, '$indexOfBytes ending index'));
    return new Num(INT, from > to ? -1 : bytes.slice(0, to).indexOf(plain ? sub : Buffer.from(sub), from));
  },
};
function convert(x, t) {
  const to = (v) => ((t === INT ? fits32 : fits64)(v) ? new Num(t, v) : fail(`Conversion would overflow target type in $convert with no onError value: ${v}`));
  if (x == null) return null;
  if (x instanceof Num && x.t !== DOUBLE) return to(x.v);
  if (x instanceof Num) return Number.isFinite(x.v) ? to(exact(big(Math.trunc(x.v)))) : fail(`Attempt to convert ${x.v} to integer type in $convert with no onError value`);
  if (typeof x === 'boolean') return new Num(t, Number(x));
  if (x instanceof Date && t === LONG) return new Num(LONG, x.getTime());
  if (typeof x === 'string') return /^[+-]?\d+$/.test(x) ? to(exact(big(x))) : fail(`Failed to parse number '${x}' in $convert with no onError value`);
  return fail(`Unsupported conversion from ${typeName(x)} to ${t === INT ? 'int' : 'long'} in $convert with no onError value`);
}
// A value of the script as the server gets it, an _id of the fixture (relaxed Extended JSON: an integer
// beyond the int range is a long) as the server holds it, and a result as mongosh shows it.
const each = (x, f) => (x === null || typeof x !== 'object' || x instanceof ObjectId || x instanceof Num ? x
  : Array.isArray(x) ? x.map(f) : Object.fromEntries(Object.entries(x).map(([k, v]) => [k, f(v)])));
const typed = (x) => (typeof x === 'number' ? literal(x) : each(x, typed));
const stored = (x) => (typeof x === 'number' && Number.isInteger(x) ? intOrLong(x, INT) : typed(x));
const shown = (x) => (x instanceof Num ? (x.t === LONG ? new Long(x.v) : x.v) : each(x, shown));

// Queries on _id, with type bracketing: an ObjectId bound never takes in a string or a number.
const bracket = (x) => (x instanceof Num ? 'number' : typeName(x));
const rank = (x) => (x instanceof ObjectId ? x.hex : x instanceof Num ? x.v : x);
const order = (a, b) => (rank(a) < rank(b) ? -1 : rank(a) > rank(b) ? 1 : 0);
const COMPARE = { $eq: (o) => o === 0, $gt: (o) => o > 0, $gte: (o) => o >= 0, $lt: (o) => o < 0, $lte: (o) => o <= 0 };
function condition(cond) {
  if (cond === null || typeof cond !== 'object' || cond instanceof ObjectId || !Object.keys(cond).every((k) => k.startsWith('$'))) cond = { $eq: cond };
  const tests = Object.entries(cond).map(([op, arg]) => {
    if (COMPARE[op]) return (v) => v !== undefined && bracket(v) === bracket(arg) && COMPARE[op](order(v, arg));
    if (op === '$not') { const inner = condition(arg); return (v) => !inner(v); }
    if (op !== '$type') return fail(`unknown operator: ${op}`);
    const known = (a) => (Object.values(TYPES).includes(a) || a === 'number' ? a : fail(`Unknown type name alias: ${a}`));
    const names = [arg].flat().map((a) => TYPES[a instanceof Num ? a.v : a] || known(a));
    return (v) => v !== undefined && names.some((n) => n === typeName(v) || (n === 'number' && v instanceof Num));
  });
  const holds = (v) => tests.every((t) => t(v));
  holds.typeOnly = Object.keys(cond).every((op) => op === '$type' || (op === '$not' && condition(cond.$not).typeOnly));
  return holds;
}

// The fixture, newest first, with what a server keeps along its _id index: the ids in their order
// (.NAME.ids) and, for a $sum, the running total of its expression (.NAME.HASH.sums); kept while the file
// and this evaluator are unchanged.
const folder = process.env.QOR_MONGO_DIR, opened = new Map();
const identity = (file) => [file, __filename].map((f) => { const s = fs.statSync(f, { bigint: true }); return `${s.size}:${s.mtimeNs}:${s.ino}`; }).join(' ');
const read = (fd, at, n) => { const b = Buffer.alloc(n); fs.readSync(fd, b, 0, n, at); return b; };
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
  return cached(cache, key, () => fail('(the test double could not read back its cache)'));
}
const collections = new Map();
const collection = (name) => collections.get(name) || collections.set(name, fixture(name)).get(name);
function fixture(name) {
  const file = `${folder}/${name}.jsonl`;
  if (!fs.existsSync(file)) return { n: 0, noid: 0, id: () => undefined };
  const [header, fd, base] = cached(`${folder}/.${name}.ids`, identity(file), () => {
    const data = fs.readFileSync(file), oids = [], others = [];
    for (let at = 0, end; at < data.length; at = end + 1) {
      end = data.indexOf(10, at) === -1 ? data.length : data.indexOf(10, at);
      if (end === at) continue;
      const quick = /^\{"_id":\{"\$oid":"([0-9a-f]{24})"/.exec(data.toString('latin1', at, Math.min(end, at + 40)));
      const id = quick ? { $oid: quick[1] } : JSON.parse(data.toString('utf8', at, end))._id, oid = id && id.$oid;
      if (oid && (others.length || oid >= oids[oids.length - 1])) fail(`(the test double's ${file} is not newest first, other ids last, at ${oid})`);
      if (typeof oid === 'string') oids.push(oid); else others.push(JSON.stringify(id));
    }
    return [{ n: oids.length + others.length, noid: oids.length, others }, Buffer.from(oids.join(''), 'hex')];
  });
  const oids = read(fd, base, 12 * header.noid);  // 12 bytes a document, read once a call
  // The _id of the i-th document: the ObjectIds first, then the other ids.
  const id = (i) => (i < header.noid ? new ObjectId(oids.toString('hex', 12 * i, 12 * i + 12)) : stored(JSON.parse(header.others[i - header.noid])));
  return { ...header, name, key: identity(file), id };
}
// The documents a filter on _id takes in: runs [from, to) of the fixture, each with the test its ids must pass (null: all).
function select(c, query) {
  const names = Object.keys(query || {});
  if (names.some((k) => k !== '_id')) fail(`(the test double's documents hold only _id, not ${names})`);
  if (!names.length) return [{ from: 0, to: c.n, test: null }];
  const holds = condition(query._id), bounds = holds.typeOnly ? [] : Object.entries(query._id);
  if (bounds.length && bounds.every(([op, v]) => ['$gte', '$gt', '$lte', '$lt'].includes(op) && v instanceof ObjectId)) {
    const first = (after) => {  // the ObjectIds run newest first
      let lo = 0, hi = c.noid;
      while (lo < hi) { const mid = (lo + hi) >> 1; if (after(c.id(mid))) hi = mid; else lo = mid + 1; }
      return lo;
    };
    const within = (side) => (id) => bounds.every(([op, v]) => !op.startsWith(side) || COMPARE[op](order(id, v)));
    const top = first(within('$l'));
    return [{ from: top, to: Math.max(top, first((id) => !within('$g')(id))), test: null }];
  }
  if (holds.typeOnly && c.noid)  // the same answer for every ObjectId
    return [...(holds(c.id(0)) ? [{ from: 0, to: c.noid, test: null }] : []), { from: c.noid, to: c.n, test: holds }];
  return [{ from: 0, to: c.n, test: holds }];
}
function* documents(c, { from, to, test }) {
  for (let i = from; i < to; ++i) { const id = c.id(i); if (!test || test(id)) yield [i, { _id: id }]; }
}

// $sum: exact over ints and longs, a double once it leaves the long range or meets a double.
function total(parts) {
  let sum = 0n, d = 0, t = INT;
  for (const x of parts) if (x instanceof Num) { t = Math.max(t, x.t); if (x.t === DOUBLE) d += x.v; else sum += big(x.v); }
  return t === DOUBLE || !fits64(sum) ? new Num(DOUBLE, Number(sum) + d) : intOrLong(exact(sum), t);
}
// A run's $sum as a difference of running totals, where that is what the server computes: every value
// an int or a long, none negative, and the total within the long range. Otherwise null.
function runningSum(c, run, { text, compiled, expression, hash }) {
  if (typeof text === 'number') { const k = literal(text); return k.t === DOUBLE ? null : total([new Num(k.t, big(k.v) * big(run.to - run.from))]); }
  const [, fd, base] = cached(`${folder}/.${c.name}.${hash}.sums`, `${c.key} ${expression}`, () => {
    const records = Buffer.alloc(24 * (c.n + 1));  // the total before each document, as two words; odd values and longs before it
    let sum = 0n, odd = 0, longs = 0;
    const note = (i) => {
      records.writeBigUInt64LE(sum & (2n ** 64n - 1n), 24 * i); records.writeBigUInt64LE(sum >> 64n, 24 * i + 8);
      records.writeUInt32LE(odd, 24 * i + 16); records.writeUInt32LE(longs, 24 * i + 20);
    };
    for (const [i, doc] of documents(c, { from: 0, to: c.n, test: null })) {
      note(i);
      let v = null;
      try { v = compiled({ doc, vars: null }); } catch { /* the server fails on it: odd */ }
      if (v instanceof Num && v.t !== DOUBLE && v.v >= 0) { sum += big(v.v); longs += Number(v.t === LONG); } else odd += 1;
    }
    note(c.n);
    return [{}, records];
  });
  const [a, b] = [run.from, run.to].map((i) => read(fd, base + 24 * i, 24));
  const sum = b.readBigUInt64LE(0) + (b.readBigUInt64LE(8) << 64n) - a.readBigUInt64LE(0) - (a.readBigUInt64LE(8) << 64n);
  if (b.readUInt32LE(16) !== a.readUInt32LE(16) || !fits64(sum)) return null;
  return intOrLong(exact(sum), b.readUInt32LE(20) !== a.readUInt32LE(20) ? LONG : INT);
}
const groups = new Map();  // each $group compiled once however many spans a call sums up
function group(c, runs, stage) {
  const text = JSON.stringify(stage);
  if (!groups.has(text)) {
    const { _id: id, ...accumulators } = stage;
    if (!(id === null || ['number', 'boolean'].includes(typeof id) || (typeof id === 'string' && !id.startsWith('$'))))
      fail(`(the test double groups by a constant _id only, not ${JSON.stringify(id)})`);
    groups.set(text, [typed(id), Object.entries(accumulators).map(([name, acc]) => {
      const [op, ...more] = Object.keys(acc || {});
      if (op !== '$sum' || more.length) fail(`unknown group operator '${op}'`);
      const expression = JSON.stringify(acc.$sum);
      let h = 2166136261, g = 5381;  // names the file of its running totals, which holds the expression whole
      for (let i = 0; i < expression.length; ++i) { h = Math.imul(h ^ expression.charCodeAt(i), 16777619); g = Math.imul(g, 33) ^ expression.charCodeAt(i); }
      return { name, text: acc.$sum, compiled: compile(acc.$sum), expression, hash: `${(h >>> 0).toString(16)}${(g >>> 0).toString(16)}` };
    })]);
  }
  const [id, fields] = groups.get(text), parts = fields.map(() => []);
  let count = 0;
  for (const run of runs) {
    const quick = !run.test && run.to > run.from && fields.map((field) => runningSum(c, run, field));
    if (quick && quick.every((s) => s)) { quick.forEach((s, j) => parts[j].push(s)); count += run.to - run.from; continue; }
    for (const [, doc] of documents(c, run)) { count += 1; fields.forEach((field, j) => parts[j].push(field.compiled({ doc, vars: null }))); }
  }
  return count ? [Object.fromEntries([['_id', id], ...fields.map(({ name }, j) => [name, total(parts[j])])])] : [];
}
function aggregate(name, pipeline, options) {
  if (!Array.isArray(pipeline)) fail("'pipeline' option must be specified as an array");
  for (const [option, value] of Object.entries(options || {}))
    if (option !== 'hint' || JSON.stringify(value) !== '{"_id":1}') fail(`(the test double knows only the option hint: { _id: 1 }, not ${option})`);
  const c = collection(name);
  let runs = [{ from: 0, to: c.n, test: null }], docs = null;
  pipeline.forEach((stage, i) => {
    const [op, ...more] = Object.keys(stage);
    if (more.length) fail('A pipeline stage object must contain exactly one field.');
    if (op === '$match' && i === 0) runs = select(c, typed(stage.$match));
    else if (op === '$group' && !docs) docs = group(c, runs, stage.$group);
    else fail(['$match', '$group'].includes(op) ? '(the test double models a $match first and one $group)' : `Unrecognized pipeline stage name: '${op}'`);
  });
  return (docs || runs.flatMap((run) => Array.from(documents(c, run), ([, d]) => d))).map(shown);
}

// The shell: db.NAME or db.getCollection(NAME), ObjectId(hex), print; the last value printed as mongosh prints it.
const show = (x) => (['string', 'number', 'boolean'].includes(typeof x) || x instanceof Long ? String(x) : fail(`(the test double prints no ${typeName(x)})`));
const table = (name) => ({
  aggregate: (pipeline, options) => ({ toArray: () => aggregate(name, pipeline, options) }),
  countDocuments: (query, options) => Number(aggregate(name, [{ $match: query }, { $group: { _id: 1, n: { $sum: 1 } } }], options)[0]?.n ?? 0),
});
const db = new Proxy({}, { get: (_, key) => (key === 'getCollection' ? table : table(String(key))) });
function objectId(hex) {
  if (typeof hex !== 'string' || !/^[0-9a-fA-F]{24}$/.test(hex)) throw new TypeError('input must be a 24 character hex string, 12 byte Uint8Array, or an integer');
  return new ObjectId(hex.toLowerCase());
}
try {
  const print = (...xs) => { process.stdout.write(xs.map(show).join(' ') + '\n'); };
  const last = vm.runInContext(process.argv[2], vm.createContext({ db, ObjectId: objectId, print }));
  if (last !== undefined) process.stdout.write(show(last) + '\n');
} catch (e) {
  process.stderr.write(`${(e && e.name) || 'Error'}: ${e && e.message}\n`);
  process.exitCode = 1;
}

// The WebAssembly engine against the Linux one, through Node: the same
// random stands (a seeded generator) as tables from the module and from the
// explorer's glue built natively (native_run), every number compared by its
// bits; and random doubles written by the module's to_chars and the native
// std::to_chars.
//
//   node tests/web/compare_native.mjs MODULE.js NATIVE_RUN [TABLES_PER_MODEL]
//
// The native side runs twice: with glibc's own choice of exp, log and pow
// (on a CPU with fused multiply-add, versions compiled with it) and with its
// plain versions (GLIBC_TUNABLES). The module must equal the plain run to the
// bit, and come within MAX_RELATIVE of the other; both are printed as a table.
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const [modulePath, nativeRun, perModelText] = process.argv.slice(2);
const perModel = Number(perModelText || 1000);
const MAX_RELATIVE = 1e-9;
const PLAIN = 'glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4';

// xorshift128+, seeded: the same stands on every run.
let s0 = 0x9e3779b97f4a7c15n, s1 = 0xbf58476d1ce4e5b9n;
const M64 = (1n << 64n) - 1n;
function next64() {
  let x = s0; const y = s1;
  s0 = y; x ^= (x << 23n) & M64; s1 = x ^ y ^ (x >> 17n) ^ (y >> 26n);
  return (s1 + y) & M64;
}
const uniform = (lo, hi) => lo + (hi - lo) * Number(next64() >> 11n) / 2 ** 53;
const pick = (list) => list[Math.floor(uniform(0, list.length))];
const round = (x, d) => String(Number(x.toFixed(d)));

function randomStand(model) {
  const start = uniform(5, 20), end = start + uniform(10, 70);
  const r = { model, start_age: round(start, 1), trees: round(uniform(300, 3000), 0), ba: round(uniform(2, 40), 2),
              end_age: round(end, 1), interval: pick(['1', '2', '2.5', '5', '3.7']), merch_limit: round(uniform(0, 20), 1) };
  if (uniform(0, 1) < 0.8) r.site = round(uniform(8, 35), 2);
  else { r.height = round(uniform(5, 25), 2); r.height_age = round(uniform(15, 60), 1); }
  const thinnings = [];
  let age = Number(r.start_age);
  for (let k = Math.floor(uniform(0, 4)); k > 0; --k) {
    age += uniform(3, 15);
    if (age >= Number(r.end_age)) break;
    thinnings.push(uniform(0, 1) < 0.5 ? `${round(age, 1)}:tph=${round(uniform(150, 1200), 0)}:p=${round(uniform(5, 40), 1)}`
                                       : `${round(age, 1)}:ba=${round(uniform(6, 30), 1)}:p=${round(uniform(5, 40), 1)}`);
  }
  r.thinnings = thinnings;
  return r;
}

function bitsOf(x) {
  const f = new Float64Array([x]);
  return new BigInt64Array(f.buffer)[0];
}
// Distance in units in the last place, counting across zero.
function ulps(a, b) {
  const key = (x) => { const v = bitsOf(x); return v < 0n ? -(v & 0x7fffffffffffffffn) : v; };
  const d = key(a) - key(b);
  return d < 0n ? -d : d;
}

function native(lines, mode, plain) {
  const env = { ...process.env };
  if (plain) env.GLIBC_TUNABLES = PLAIN; else delete env.GLIBC_TUNABLES;
  const run = spawnSync(nativeRun, [mode], { input: lines.join('\n') + '\n', env, maxBuffer: 1 << 30, encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`${nativeRun} ${mode}: ${run.stderr}`);
  return run.stdout.trimEnd().split('\n');
}

const engine = await require(modulePath)();
let failed = false;
const report = [];
for (const model of ['a', 'b', 'c']) {
  const requests = Array.from({ length: perModel }, () => JSON.stringify(randomStand(model)));
  const wasm = requests.map((r) => JSON.parse(engine.run(r)));
  for (const plain of [true, false]) {
    const nat = native(requests, 'tables', plain).map((l) => JSON.parse(l));
    const row = { model, math: plain ? 'plain' : 'default', tables: 0, refused: 0, rows: 0, values: 0, equal: 0,
                  worst: 0n, relative: 0, texts_differ: 0, outcome_differs: 0 };
    for (let i = 0; i < requests.length; ++i) {
      const w = wasm[i], n = nat[i];
      if (w.ok !== n.ok) { row.outcome_differs++; continue; }
      if (!w.ok) {
        row.refused++;
        if (plain && w.full !== n.full) row.texts_differ++;
        continue;
      }
      row.tables++;
      if (w.csv !== n.csv) row.texts_differ++;
      const wl = w.csv.trimEnd().split('\n'), nl = n.csv.trimEnd().split('\n');
      if (wl.length !== nl.length) { row.outcome_differs++; continue; }
      row.rows += wl.length - 1;
      for (let k = 1; k < wl.length; ++k) {
        const wf = wl[k].split(','), nf = nl[k].split(',');
        for (let c = 0; c < 13; ++c) {
          if (wf[c] === '' && nf[c] === '') continue;
          row.values++;
          const d = ulps(Number(wf[c]), Number(nf[c]));
          if (d === 0n) row.equal++;
          if (d > row.worst) row.worst = d;
          const a = Number(wf[c]), b = Number(nf[c]);
          if (a !== b) row.relative = Math.max(row.relative, Math.abs(a - b) / Math.max(Math.abs(a), Math.abs(b)));
        }
      }
    }
    report.push(row);
    if (row.outcome_differs) failed = true;
    if (plain && (row.texts_differ || row.equal !== row.values)) failed = true;
    if (!plain && !(row.relative <= MAX_RELATIVE)) failed = true;
    if (row.tables < perModel / 4) failed = true;  // the generator must give tables, not refusals
  }
}

// Random doubles of every magnitude (and a few edges) as to_chars writes them.
const patterns = ['0000000000000000', '8000000000000000', '0000000000000001', '7fefffffffffffff', '3ff0000000000000',
                  '4340000000000000', '4330000000000000', '3fb999999999999a', '7ff0000000000000', '44b52d02c7e14af6'];
for (let i = 0; i < 200000; ++i) {
  let bits = next64() & 0x7fffffffffffffffn;
  if (i % 4 === 0) bits = (bits & 0x800fffffffffffffn) | (BigInt(1023 + Math.floor(uniform(-30, 30))) << 52n);
  if (i % 16 === 1) bits &= 0xfff0000000000000n;  // powers of two
  if (((bits >> 52n) & 0x7ffn) === 0x7ffn) continue;  // not NaN or infinity
  if (i % 2) bits |= 1n << 63n;
  patterns.push(bits.toString(16).padStart(16, '0'));
}
const wasmTexts = engine.shortest_texts(patterns.join('\n') + '\n').trimEnd().split('\n');
const nativeTexts = native(patterns, 'shortest', false);
let textDiffer = 0;
for (let i = 0; i < patterns.length; ++i) {
  if (wasmTexts[i] !== nativeTexts[i]) {
    if (textDiffer++ < 5) console.log(`to_chars differs: ${patterns[i]}: ${wasmTexts[i]} vs ${nativeTexts[i]}`);
  }
}
if (textDiffer) failed = true;

console.log('| model | native exp/log/pow | tables | refused alike | rows | values | bits equal | most ulps apart | largest relative difference | CSV texts differing |');
console.log('|---|---|---|---|---|---|---|---|---|---|');
for (const r of report) {
  console.log(`| ${r.model.toUpperCase()} | ${r.math} | ${r.tables} | ${r.refused} | ${r.rows} | ${r.values} | ` +
              `${r.equal} (${(100 * r.equal / r.values).toFixed(3)}%) | ${r.worst} | ${r.relative.toExponential(2)} | ${r.texts_differ}` +
              (r.outcome_differs ? ` (outcome differs: ${r.outcome_differs})` : '') + ' |');
}
console.log(`to_chars: ${patterns.length} doubles, ${textDiffer} texts differ`);
process.exit(failed ? 1 : 0);

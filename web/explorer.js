// The yield explorer: the page's fields, its scenarios and the URL that holds
// them, the engine's answers (sylvo_web.js: run and models, JSON in and
// out), the tables and the curves drawn as SVG.
'use strict';

const FIELDS = ['site', 'height', 'height_age', 'shift', 'start_age', 'trees', 'ba', 'end_age', 'interval',
                'merch_limit', 'max_sdi', 'regime', 'regime_name'];
const COLOURS = ['#1b7837', '#b35806', '#2166ac', '#762a83'];
const DASHES = ['', '6 3', '2 3', '8 3 2 3'];
const MAX_SCENARIOS = 4;

// The example stand of `sylvo table`.
function exampleScenario() {
  return { model: 'a', site_by: 'site', site: '24', height: '', height_age: '', shift: '', start_age: '10',
           trees: '1800', ba: '6', end_age: '35', interval: '5', merch_limit: '12', max_sdi: '',
           regime_by: 'form', regime: '', regime_name: '',
           thinnings: [{ age: '20', kind: 'tph', value: '800', p: '20' }] };
}

let engine = null;
const state = { scenarios: [exampleScenario()], active: 0 };
// The last table each scenario gave (what the page shows while a value is refused).
const lastGood = [];
const lastError = [];

const $ = (id) => document.getElementById(id);

// ---- the state in the URL ----------------------------------------------

function thinningText(t) { return `${t.age}:${t.kind}=${t.value}:p=${t.p}`; }

function parseThinningText(text) {
  const parts = text.split(':');
  const t = { age: parts[0] || '', kind: 'tph', value: '', p: '' };
  for (const part of parts.slice(1)) {
    const eq = part.indexOf('=');
    const key = eq < 0 ? part : part.slice(0, eq), value = eq < 0 ? '' : part.slice(eq + 1);
    if (key === 'tph' || key === 'ba') { t.kind = key; t.value = value; } else if (key === 'p') t.p = value;
  }
  return t;
}

function stateToHash() {
  const q = new URLSearchParams();
  state.scenarios.forEach((s, i) => {
    const k = (name) => `${i + 1}.${name}`;
    q.set(k('model'), s.model);
    q.set(k('site_by'), s.site_by);
    for (const f of FIELDS) if (s[f] !== '') q.set(k(f), s[f]);
    q.set(k('regime_by'), s.regime_by);
    q.set(k('thin'), s.thinnings.map(thinningText).join(';'));
  });
  q.set('active', String(state.active + 1));
  return '#' + q.toString();
}

function stateFromHash(hash) {
  const q = new URLSearchParams(hash.replace(/^#/, ''));
  const scenarios = [];
  for (let i = 1; i <= MAX_SCENARIOS; ++i) {
    if (!q.has(`${i}.model`)) break;
    const s = exampleScenario();
    const get = (name, fallback) => (q.has(`${i}.${name}`) ? q.get(`${i}.${name}`) : fallback);
    s.model = get('model', 'a');
    s.site_by = get('site_by', 'site') === 'height' ? 'height' : 'site';
    for (const f of FIELDS) s[f] = get(f, '');
    s.regime_by = get('regime_by', 'form') === 'json' ? 'json' : 'form';
    const thin = get('thin', '');
    s.thinnings = thin === '' ? [] : thin.split(';').map(parseThinningText);
    scenarios.push(s);
  }
  if (!scenarios.length) return false;
  state.scenarios = scenarios;
  const active = parseInt(q.get('active') || '1', 10) - 1;
  state.active = active >= 0 && active < scenarios.length ? active : 0;
  return true;
}

function saveToUrl() { history.replaceState(null, '', stateToHash()); }

// ---- the engine --------------------------------------------------------

function requestOf(s) {
  const r = { model: s.model };
  for (const f of FIELDS) r[f] = s[f];
  if (s.site_by === 'site') { r.height = ''; r.height_age = ''; } else r.site = '';
  if (s.regime_by === 'json') { r.thinnings = []; } else {
    r.thinnings = s.thinnings.map(thinningText); r.regime = ''; r.regime_name = '';
  }
  return r;
}

function compute(i) {
  let answer;
  try {
    answer = JSON.parse(engine.run(JSON.stringify(requestOf(state.scenarios[i]))));
  } catch (e) {
    // Not a refusal the engine explains: said in the status line, the last table kept.
    answer = { ok: false, field: 'request', thinning: null, message: `the engine failed: ${e}`,
               full: `the engine failed: ${e}` };
  }
  if (answer.ok) {
    answer.table = JSON.parse(answer.json);
    lastGood[i] = answer;
    lastError[i] = null;
  } else {
    lastError[i] = answer;
  }
  return answer;
}

// ---- the form ----------------------------------------------------------

function scenarioName(i) {
  const s = state.scenarios[i];
  const regime = s.regime_by === 'json' ? (s.regime_name || 'regime document')
    : (s.thinnings.length ? s.thinnings.map(thinningText).join(', ') : 'no thinning');
  return `${i + 1}: Model ${s.model.toUpperCase()}, ${regime}`;
}

function renderTabs() {
  const tabs = $('scenario-tabs');
  tabs.textContent = '';
  state.scenarios.forEach((s, i) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.setAttribute('role', 'tab');
    b.id = `tab-${i}`;
    b.setAttribute('aria-selected', String(i === state.active));
    b.tabIndex = i === state.active ? 0 : -1;
    b.style.borderBottomColor = COLOURS[i];
    b.textContent = `Scenario ${i + 1}`;
    b.title = scenarioName(i);
    b.addEventListener('click', () => { state.active = i; loadForm(); renderAll(); });
    b.addEventListener('keydown', (e) => {
      const n = state.scenarios.length;
      if (e.key !== 'ArrowRight' && e.key !== 'ArrowLeft') return;
      state.active = (state.active + (e.key === 'ArrowRight' ? 1 : n - 1)) % n;
      loadForm(); renderAll(); $(`tab-${state.active}`).focus();
    });
    tabs.appendChild(b);
  });
  $('add-scenario').disabled = state.scenarios.length >= MAX_SCENARIOS;
  $('remove-scenario').disabled = state.scenarios.length <= 1;
}

function thinningRow(t, k) {
  const row = document.createElement('div');
  row.className = 'thinning';
  row.setAttribute('role', 'group');
  row.setAttribute('aria-label', `Thinning ${k + 1}`);
  const id = (name) => `thin-${k}-${name}`;
  row.innerHTML = `
    <div class="field"><label for="${id('age')}">Age (years)</label>
      <input id="${id('age')}" inputmode="decimal" aria-describedby="err-thin-${k}"></div>
    <div class="field"><label for="${id('kind')}">Leave</label>
      <select id="${id('kind')}"><option value="tph">trees/ha</option><option value="ba">m²/ha basal area</option></select></div>
    <div class="field"><label for="${id('value')}">Amount left</label>
      <input id="${id('value')}" inputmode="decimal" aria-describedby="err-thin-${k}"></div>
    <div class="field"><label for="${id('p')}">p</label>
      <input id="${id('p')}" inputmode="decimal" aria-describedby="err-thin-${k}"></div>
    <button type="button" id="${id('remove')}" aria-label="Remove thinning ${k + 1}">Remove</button>
    <span class="error" id="err-thin-${k}" role="alert"></span>`;
  for (const name of ['age', 'kind', 'value', 'p']) {
    const el = row.querySelector('#' + id(name));
    el.value = t[name];
    el.addEventListener(name === 'kind' ? 'change' : 'input', () => {
      state.scenarios[state.active].thinnings[k][name] = el.value;
      changed();
    });
  }
  row.querySelector('#' + id('remove')).addEventListener('click', () => {
    state.scenarios[state.active].thinnings.splice(k, 1);
    loadForm(); changed();
  });
  return row;
}

function showModes() {
  const s = state.scenarios[state.active];
  document.querySelectorAll('.by-site').forEach((e) => e.classList.toggle('hidden', s.site_by !== 'site'));
  document.querySelectorAll('.by-height').forEach((e) => e.classList.toggle('hidden', s.site_by !== 'height'));
  document.querySelectorAll('.by-form').forEach((e) => e.classList.toggle('hidden', s.regime_by !== 'form'));
  document.querySelectorAll('.by-json').forEach((e) => e.classList.toggle('hidden', s.regime_by !== 'json'));
}

function loadForm() {
  const s = state.scenarios[state.active];
  $('model').value = s.model;
  for (const f of FIELDS) $(f).value = s[f];
  $('site-by-site').checked = s.site_by === 'site';
  $('site-by-height').checked = s.site_by === 'height';
  $('regime-by-form').checked = s.regime_by === 'form';
  $('regime-by-json').checked = s.regime_by === 'json';
  const list = $('thinnings');
  list.textContent = '';
  s.thinnings.forEach((t, k) => list.appendChild(thinningRow(t, k)));
  showModes();
}

// Shows the active scenario's refusal beside its field (or clears them all).
function showError(answer) {
  document.querySelectorAll('.error').forEach((e) => { e.textContent = ''; });
  document.querySelectorAll('[aria-invalid]').forEach((e) => e.removeAttribute('aria-invalid'));
  if (!answer || answer.ok) return;
  let where = $('err-' + answer.field), field = $(answer.field);
  if (answer.field === 'thinnings' && answer.thinning !== null && $(`err-thin-${answer.thinning}`)) {
    where = $(`err-thin-${answer.thinning}`);
    field = $(`thin-${answer.thinning}-age`);
  }
  if (!where) where = $('err-request');
  where.textContent = answer.message;
  if (field) field.setAttribute('aria-invalid', 'true');
}

// ---- the tables ----------------------------------------------------------

const DECIMALS = { age_yr: -1, height_m: 2, trees_per_ha: 1, ba_m2_per_ha: 2, qmd_cm: 2, volume_m3_per_ha: 1,
  merch_volume_m3_per_ha: 1, removed_trees_per_ha: 1, removed_ba_m2_per_ha: 2, removed_volume_m3_per_ha: 1,
  mai_m3_per_ha_yr: 2, pai_m3_per_ha_yr: 2, sdi_per_ha: 0 };
const LABELS = { age_yr: 'age yr', height_m: 'height m', trees_per_ha: 'trees /ha', ba_m2_per_ha: 'BA m²/ha',
  qmd_cm: 'QMD cm', volume_m3_per_ha: 'volume m³/ha', merch_volume_m3_per_ha: 'merch m³/ha',
  removed_trees_per_ha: 'thin trees /ha', removed_ba_m2_per_ha: 'thin BA m²/ha',
  removed_volume_m3_per_ha: 'thin vol m³/ha', mai_m3_per_ha_yr: 'MAI m³/ha/yr', pai_m3_per_ha_yr: 'PAI m³/ha/yr',
  sdi_per_ha: 'SDI /ha', event: 'event', note: 'note' };

// One CSV line into its fields (RFC 4180 quotes).
function csvFields(line) {
  const out = [];
  let field = '', quoted = false;
  for (let i = 0; i < line.length; ++i) {
    const c = line[i];
    if (quoted) {
      if (c === '"' && line[i + 1] === '"') { field += '"'; ++i; } else if (c === '"') quoted = false; else field += c;
    } else if (c === '"') quoted = true; else if (c === ',') { out.push(field); field = ''; } else field += c;
  }
  out.push(field);
  return out;
}

function renderTables() {
  const box = $('tables');
  box.textContent = '';
  state.scenarios.forEach((s, i) => {
    const good = lastGood[i];
    const block = document.createElement('div');
    block.className = 'table-block';
    block.id = `table-${i}`;
    const h = document.createElement('h3');
    h.style.borderLeft = `6px solid ${COLOURS[i]}`;
    h.style.paddingLeft = '0.3rem';
    h.textContent = `Scenario ${scenarioName(i)}` + (good ? `, site index ${good.site.toFixed(2)} m` : '');
    block.appendChild(h);
    if (!good) { box.appendChild(block); return; }
    const lines = good.csv.trimEnd().split('\n');
    const keys = csvFields(lines[0]);
    const table = document.createElement('table');
    table.className = 'yield';
    table.dataset.csv = good.csv;
    const head = table.createTHead().insertRow();
    for (const key of keys) {
      const th = document.createElement('th');
      th.scope = 'col';
      th.textContent = LABELS[key] || key;
      th.dataset.key = key;
      head.appendChild(th);
    }
    const body = table.createTBody();
    for (const line of lines.slice(1)) {
      const tr = body.insertRow();
      const cells = csvFields(line);
      cells.forEach((text, c) => {
        const td = tr.insertCell();
        const d = DECIMALS[keys[c]];
        td.dataset.value = text;
        if (d === undefined) { td.className = 'text'; td.textContent = text; } else if (text !== '') {
          const x = Number(text);
          td.textContent = d < 0 ? String(Number(x.toFixed(3))) : x.toFixed(d);
          td.title = text;
        }
      });
      if (cells[keys.indexOf('removed_trees_per_ha')] !== '') tr.className = 'after';
    }
    block.appendChild(table);
    const notes = [];
    if (good.stop) notes.push(good.stop + '; the table stops before this row');
    for (const w of good.warnings) notes.push('warning: ' + w);
    for (const text of notes) {
      const p = document.createElement('p');
      p.className = 'notice';
      p.textContent = text;
      block.appendChild(p);
    }
    box.appendChild(block);
  });
}

// ---- the curves ----------------------------------------------------------

const CHARTS = [
  { id: 'trees', title: 'Trees', unit: 'per ha', series: [['trees_per_ha', '']] },
  { id: 'ba', title: 'Basal area', unit: 'm²/ha', series: [['ba_m2_per_ha', '']] },
  { id: 'height', title: 'Dominant height', unit: 'm', series: [['height_m', '']] },
  { id: 'volume', title: 'Volume and removals', unit: 'm³/ha',
    series: [['volume_m3_per_ha', 'total'], ['merch_volume_m3_per_ha', 'merchantable']], removals: true },
  { id: 'increment', title: 'MAI and PAI', unit: 'm³/ha/yr',
    series: [['mai_m3_per_ha_yr', 'MAI'], ['pai_m3_per_ha_yr', 'PAI']], culmination: true },
];

function niceTicks(lo, hi, count) {
  if (!(hi > lo)) { hi = lo + 1; }
  const raw = (hi - lo) / count, mag = Math.pow(10, Math.floor(Math.log10(raw)));
  const step = [1, 2, 2.5, 5, 10].map((m) => m * mag).find((s) => s >= raw);
  const ticks = [];
  for (let v = Math.ceil(lo / step) * step; v <= hi + step * 1e-9; v += step) ticks.push(Number(v.toPrecision(12)));
  return ticks;
}

const esc = (t) => String(t).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');

function chartSvg(chart) {
  const W = 420, H = 260, L = 56, R = 12, T = 14, B = 40;
  const tables = state.scenarios.map((s, i) => (lastGood[i] ? lastGood[i].table.rows : null));
  const values = [], ages = [];
  tables.forEach((rows) => {
    if (!rows) return;
    for (const r of rows) {
      ages.push(r.age_yr);
      for (const [key] of chart.series) if (r[key] !== null) values.push(r[key]);
      if (chart.removals && r.removed_volume_m3_per_ha !== null) values.push(r.removed_volume_m3_per_ha);
    }
  });
  const x0 = Math.min(...ages), x1 = Math.max(...ages);
  let y0 = Math.min(0, ...values), y1 = Math.max(...values);
  if (!(y1 > y0)) y1 = y0 + 1;
  const yt = niceTicks(y0, y1, 5), xt = niceTicks(x0, x1, 6);
  y0 = Math.min(y0, yt[0]); y1 = Math.max(y1, yt[yt.length - 1]);
  const sx = (x) => L + ((x - x0) / (x1 - x0 || 1)) * (W - L - R);
  const sy = (y) => H - B - ((y - y0) / (y1 - y0)) * (H - T - B);
  const parts = [`<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 ${W} ${H}" width="${W}" height="${H}" ` +
    `role="img" aria-label="${esc(chart.title)} over age" font-family="sans-serif" font-size="11">`,
    `<rect x="0" y="0" width="${W}" height="${H}" fill="#ffffff"/>`];
  for (const t of yt) {
    parts.push(`<line x1="${L}" x2="${W - R}" y1="${sy(t)}" y2="${sy(t)}" stroke="#e3e8e3"/>`,
      `<text x="${L - 4}" y="${sy(t) + 4}" text-anchor="end" fill="#333">${t}</text>`);
  }
  for (const t of xt) {
    if (t < x0 || t > x1) continue;
    parts.push(`<line x1="${sx(t)}" x2="${sx(t)}" y1="${H - B}" y2="${H - B + 4}" stroke="#333"/>`,
      `<text x="${sx(t)}" y="${H - B + 16}" text-anchor="middle" fill="#333">${t}</text>`);
  }
  parts.push(`<line x1="${L}" x2="${W - R}" y1="${H - B}" y2="${H - B}" stroke="#333"/>`,
    `<line x1="${L}" x2="${L}" y1="${T}" y2="${H - B}" stroke="#333"/>`,
    `<text x="${(L + W - R) / 2}" y="${H - 6}" text-anchor="middle" fill="#333">age (years)</text>`,
    `<text x="12" y="${(T + H - B) / 2}" text-anchor="middle" fill="#333" transform="rotate(-90 12 ${(T + H - B) / 2})">${esc(chart.unit)}</text>`);
  tables.forEach((rows, i) => {
    if (!rows) return;
    chart.series.forEach(([key], k) => {
      // A line through the rows; a gap where a value is missing (PAI after a thinning).
      let d = '', pen = false;
      for (const r of rows) {
        if (r[key] === null) { pen = false; continue; }
        d += `${pen ? 'L' : 'M'}${sx(r.age_yr).toFixed(2)},${sy(r[key]).toFixed(2)}`;
        pen = true;
      }
      const dash = k > 0 ? '4 3' : DASHES[i];
      parts.push(`<path d="${d}" fill="none" stroke="${COLOURS[i]}" stroke-width="${k > 0 ? 1.6 : 2.2}"` +
        (dash ? ` stroke-dasharray="${dash}"` : '') + ` data-series="${key}" data-scenario="${i}"/>`);
    });
    if (chart.removals) {
      for (const r of rows) {
        if (r.removed_volume_m3_per_ha === null) continue;
        const x = sx(r.age_yr) + (i - 1.5) * 5;
        const y = sy(Math.max(0, r.removed_volume_m3_per_ha)), yz = sy(0);
        parts.push(`<rect x="${x - 2}" y="${Math.min(y, yz)}" width="4" height="${Math.abs(yz - y)}" fill="${COLOURS[i]}" ` +
          `opacity="0.6"><title>removed ${r.removed_volume_m3_per_ha.toFixed(1)} m³/ha at age ${r.age_yr}</title></rect>`);
      }
    }
    if (chart.culmination) {
      let best = null;
      for (const r of rows) if (r.mai_m3_per_ha_yr !== null && (!best || r.mai_m3_per_ha_yr > best.mai_m3_per_ha_yr)) best = r;
      const last = rows[rows.length - 1];
      if (best && best !== last) {
        const x = sx(best.age_yr), y = sy(best.mai_m3_per_ha_yr);
        parts.push(`<circle cx="${x}" cy="${y}" r="4.5" fill="none" stroke="${COLOURS[i]}" stroke-width="2" data-culmination="${best.age_yr}"/>`,
          `<line x1="${x}" x2="${x}" y1="${y}" y2="${H - B}" stroke="${COLOURS[i]}" stroke-dasharray="2 2"/>`,
          `<text x="${x + 5}" y="${y - 6 - 12 * i}" fill="${COLOURS[i]}">MAI culminates at ${best.age_yr}</text>`);
      } else if (best) {
        parts.push(`<text x="${L + 6}" y="${T + 12 + 12 * i}" fill="${COLOURS[i]}">MAI still rising at ${best.age_yr}</text>`);
      }
    }
  });
  if (chart.series.length > 1 || chart.removals) {
    const names = chart.series.map(([, name], k) => `${name} (${k ? 'thin line' : 'thick line'})`);
    if (chart.removals) names.push('removals (bars)');
    parts.push(`<text x="${L + 6}" y="${T + 2}" fill="#555" font-size="10">${esc(names.join(', '))}</text>`);
  }
  parts.push('</svg>');
  return parts.join('');
}

function download(name, type, data) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(data instanceof Blob ? data : new Blob([data], { type }));
  a.download = name;
  document.body.appendChild(a);
  a.click();
  setTimeout(() => { URL.revokeObjectURL(a.href); a.remove(); }, 1000);
}

function downloadPng(chart) {
  const svg = chartSvg(chart);
  const img = new Image();
  img.onload = () => {
    const canvas = document.createElement('canvas');
    canvas.width = img.width * 2; canvas.height = img.height * 2;
    const g = canvas.getContext('2d');
    g.scale(2, 2);
    g.drawImage(img, 0, 0);
    canvas.toBlob((blob) => download(`sylvo-${chart.id}.png`, 'image/png', blob), 'image/png');
  };
  img.src = 'data:image/svg+xml;charset=utf-8,' + encodeURIComponent(svg);
}

function renderCharts() {
  const box = $('charts');
  box.textContent = '';
  const legend = document.createElement('div');
  legend.className = 'legend';
  legend.setAttribute('aria-label', 'Scenarios');
  state.scenarios.forEach((s, i) => {
    const span = document.createElement('span');
    span.style.setProperty('--swatch', COLOURS[i]);
    span.textContent = `Scenario ${scenarioName(i)}` + (lastGood[i] ? '' : ' (no table yet)');
    legend.appendChild(span);
  });
  box.appendChild(legend);
  legend.style.gridColumn = '1 / -1';
  if (!lastGood.some(Boolean)) return;
  for (const chart of CHARTS) {
    const fig = document.createElement('figure');
    fig.className = 'chart';
    fig.id = `chart-${chart.id}`;
    const cap = document.createElement('figcaption');
    const title = document.createElement('span');
    title.textContent = `${chart.title} (${chart.unit})`;
    const buttons = document.createElement('span');
    const svgButton = document.createElement('button');
    svgButton.type = 'button';
    svgButton.textContent = 'SVG';
    svgButton.setAttribute('aria-label', `Download the ${chart.title} chart as SVG`);
    svgButton.addEventListener('click', () => download(`sylvo-${chart.id}.svg`, 'image/svg+xml', chartSvg(chart)));
    const pngButton = document.createElement('button');
    pngButton.type = 'button';
    pngButton.textContent = 'PNG';
    pngButton.setAttribute('aria-label', `Download the ${chart.title} chart as PNG`);
    pngButton.addEventListener('click', () => downloadPng(chart));
    buttons.append(svgButton, ' ', pngButton);
    cap.append(title, buttons);
    fig.appendChild(cap);
    const holder = document.createElement('div');
    holder.innerHTML = chartSvg(chart);
    fig.appendChild(holder);
    box.appendChild(fig);
  }
}

// ---- putting it together -------------------------------------------------

function renderStatus() {
  const err = lastError[state.active];
  const status = $('status');
  status.classList.toggle('stale', Boolean(err));
  if (err) {
    status.textContent = (lastGood[state.active] ? 'Showing the last table computed: ' : 'No table yet: ') +
      `a value is refused (${err.field}). ${err.full}`;
  } else {
    const g = lastGood[state.active];
    status.textContent = g ? `Scenario ${state.active + 1}: ${g.table.rows.length} rows.` +
      (g.stop ? ' ' + g.stop + '.' : '') : '';
  }
  const words = $('regime-words');
  words.textContent = '';
  const g = lastGood[state.active];
  if (g && state.scenarios[state.active].regime_by === 'json') {
    for (const line of g.regime) { const li = document.createElement('li'); li.textContent = line; words.appendChild(li); }
  }
}

function renderAll() {
  renderTabs();
  showError(lastError[state.active]);
  renderStatus();
  renderCharts();
  renderTables();
  saveToUrl();
}

function changed() {
  compute(state.active);
  renderAll();
}

function regimeDocument(s) {
  if (s.regime_by === 'json') return s.regime;
  const events = s.thinnings.map((t) => ({ action: 'thin', at: Number(t.age),
    target: t.kind === 'tph' ? { trees_per_ha: Number(t.value) } : { ba_m2_per_ha: Number(t.value) }, p: Number(t.p) }));
  return JSON.stringify({ name: 'thinnings', events }, null, 2) + '\n';
}

function wire() {
  $('model').addEventListener('change', () => { state.scenarios[state.active].model = $('model').value; changed(); });
  for (const f of FIELDS) {
    $(f).addEventListener('input', () => { state.scenarios[state.active][f] = $(f).value; changed(); });
  }
  for (const [id, key, value] of [['site-by-site', 'site_by', 'site'], ['site-by-height', 'site_by', 'height'],
    ['regime-by-form', 'regime_by', 'form'], ['regime-by-json', 'regime_by', 'json']]) {
    $(id).addEventListener('change', () => {
      const s = state.scenarios[state.active];
      s[key] = value;
      if (key === 'regime_by' && value === 'json' && s.regime.trim() === '') {
        s.regime = regimeDocument({ ...s, regime_by: 'form' });
        $('regime').value = s.regime;
      }
      showModes(); changed();
    });
  }
  $('add-thinning').addEventListener('click', () => {
    const s = state.scenarios[state.active];
    s.thinnings.push({ age: '', kind: 'tph', value: '', p: '20' });
    loadForm(); changed();
    $(`thin-${s.thinnings.length - 1}-age`).focus();
  });
  $('add-scenario').addEventListener('click', () => {
    if (state.scenarios.length >= MAX_SCENARIOS) return;
    state.scenarios.push(JSON.parse(JSON.stringify(state.scenarios[state.active])));
    state.active = state.scenarios.length - 1;
    compute(state.active);
    loadForm(); renderAll();
  });
  $('remove-scenario').addEventListener('click', () => {
    if (state.scenarios.length <= 1) return;
    state.scenarios.splice(state.active, 1);
    lastGood.splice(state.active, 1);
    lastError.splice(state.active, 1);
    state.active = Math.max(0, state.active - 1);
    loadForm(); renderAll();
  });
  const current = () => lastGood[state.active];
  $('download-csv').addEventListener('click', () => current() && download('sylvo-table.csv', 'text/csv', current().csv));
  $('download-json').addEventListener('click', () => current() && download('sylvo-table.json', 'application/json', current().json));
  $('download-regime').addEventListener('click', () =>
    download('sylvo-regime.json', 'application/json', regimeDocument(state.scenarios[state.active])));
  $('copy-link').addEventListener('click', async () => {
    saveToUrl();
    try { await navigator.clipboard.writeText(location.href); $('status').textContent = 'Link copied.'; } catch (e) {
      $('status').textContent = 'The link to this view is the address in the address bar.';
    }
  });
  window.addEventListener('hashchange', () => {
    if (location.hash === stateToHash()) return;
    if (stateFromHash(location.hash)) { state.scenarios.forEach((s, i) => compute(i)); loadForm(); renderAll(); }
  });
}

async function start() {
  engine = await createSylvo();
  const models = JSON.parse(engine.models());
  for (const m of models) {
    const o = document.createElement('option');
    o.value = m.id;
    o.textContent = `${m.name} (version ${m.version.toFixed(1)})`;
    $('model').appendChild(o);
  }
  stateFromHash(location.hash);
  state.scenarios.forEach((s, i) => compute(i));
  wire();
  loadForm();
  renderAll();
  document.body.dataset.ready = 'true';
}

start().catch((e) => {
  $('status').textContent = 'The engine could not be started: ' + e;
  console.error(e);
});

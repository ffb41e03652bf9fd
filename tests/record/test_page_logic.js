// The playback page's own logic under Node: the columns of pages the
// recorder writes decode to the catalogue's values (keys with large jumps,
// magnitudes in each packing, map mode's classes, section and ages), frames
// found by binary search, and packed columns that end early.
//
// Usage: node test_page_logic.js PATH_TO_SISMAP_RECORD
'use strict';

const assert = require('node:assert/strict');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');

const logic = require('../../record/html/page_logic.js');

const recorder = path.resolve(process.argv[2]);
const box = path.join(__dirname, '..', 'e2e', 'outline.txt');  // latitude 0 to 12, longitude 0 to 16
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'sismap-page-logic-'));
test.after(() => fs.rmSync(work, {recursive: true, force: true}));

// The page's data block, as the page itself reads it.
function pageData(rows, options, header = 'year,month,day,time,latitude,longitude,magnitude') {
  const catalogue = path.join(work, 'quakes.txt');
  fs.writeFileSync(catalogue, header + '\n' + rows.join('\n') + '\n');
  const page = path.join(work, 'page.html');
  const env = Object.assign({}, process.env);
  delete env.DISPLAY;
  childProcess.execFileSync(recorder, ['-q', ...options, box, catalogue, page], {env, stdio: 'pipe'});
  const text = fs.readFileSync(page, 'utf8');
  const match = /<script type="application\/json" id="sismap-data">(.*?)<\/script>/s.exec(text);
  assert.ok(match, 'the page holds its data block');
  return JSON.parse(match[1]);
}

function columns(data) {
  const n = data.events.count;
  return {
    keys: logic.unpackDeltas(data.events.keys, n),
    longitudes: logic.unpackFloats(data.events.longitudes, n),
    latitudes: logic.unpackFloats(data.events.latitudes, n),
    magnitudes: logic.unpackMagnitudes(data.events.magnitudes, n, data.events.magnitudeScale),
  };
}

test('a century-long real-time catalogue decodes to its values and frames', () => {
  const rows = [
    '1900,01,01,000000.00,0.5,0.5,2.57',
    '1900,01,01,235959.99,-0.25,15.75,7.99',
    '1963,07,14,120000.00,6.125,8.0625,3.05',
    '2024,02,29,060000.00,11.9,0.01,0.01',
    '2024,03,01,000000.00,11.9,0.01,5.5',
  ];
  const data = pageData(rows, ['--window', '2d', '--step', '1d']);
  const c = columns(data);
  assert.equal(data.events.magnitudeScale, 100);
  assert.deepEqual(Array.from(c.magnitudes), [2.57, 7.99, 3.05, 0.01, 5.5].map(Math.fround));
  assert.deepEqual(Array.from(c.latitudes), [0.5, -0.25, 6.125, 11.9, 11.9].map(Math.fround));
  assert.deepEqual(Array.from(c.longitudes), [0.5, 15.75, 8.0625, 0.01, 0.01].map(Math.fround));
  // Keys count whole days (the grain of a 2-day window moved by 1 day) from
  // the first window's start, 1900-01-01: 1963-07-14 is day 23,204 and
  // 2024-02-29 day 45,349 on the real calendar.
  assert.deepEqual(Array.from(c.keys), [0, 0, 23204, 45349, 45350]);
  // Frame k shows days k and k + 1, to the first window past the last event.
  const frames = data.frames.count;
  assert.equal(frames, 45350);
  const low = logic.unpackDeltas(data.frames.low, frames);
  const high = logic.unpackDeltas(data.frames.high, frames);
  const events = (k) => [logic.lowerBound(c.keys, low[k]), logic.lowerBound(c.keys, high[k])];
  assert.deepEqual(events(0), [0, 2]);
  assert.deepEqual(events(1), [2, 2]);
  assert.deepEqual(events(23203), [2, 3]);
  assert.deepEqual(events(23204), [2, 3]);
  assert.deepEqual(events(23205), [3, 3]);
  assert.deepEqual(events(45348), [3, 4]);
  assert.deepEqual(events(45349), [3, 5]);
});

test('magnitudes take tenths, hundredths or floats, whichever is exact', () => {
  const place = (m, n) => '2020,01,%d,000000.00,1,1,%s'.replace('%d', String(10 + n)).replace('%s', m);
  const tenths = pageData(['1.5', '25.5', '0.1'].map(place), []);
  assert.equal(tenths.events.magnitudeScale, 10);
  assert.deepEqual(Array.from(columns(tenths).magnitudes), [1.5, 25.5, 0.1].map(Math.fround));
  // Past a byte of tenths.
  const hundredths = pageData(['25.6', '1.5'].map(place), []);
  assert.equal(hundredths.events.magnitudeScale, 100);
  assert.deepEqual(Array.from(columns(hundredths).magnitudes), [25.6, 1.5].map(Math.fround));
  const floats = pageData(['2.555', '700', '1.5'].map(place), []);
  assert.equal(floats.events.magnitudeScale, 0);
  assert.deepEqual(Array.from(columns(floats).magnitudes), [2.555, 700, 1.5].map(Math.fround));
});

test('map mode: depth classes, the section\'s events and the age windows decode to the catalogue\'s', () => {
  // Events along latitude 6 (the section's line) and off it, every 7th
  // without a depth, one a day.
  const depths = [];
  const rows = [];
  for (let n = 0; n < 60; n++) {
    const depth = n % 7 === 3 ? null : (n * 37) % 420;
    depths.push(depth);
    const latitude = n % 2 === 0 ? 6 : 11;
    const day = new Date(Date.UTC(2021, 0, 1 + n)).toISOString().slice(0, 10).replace(/-/g, ',');
    rows.push(`${day},120000.00,${latitude},${1 + (n % 14)},4.5,${depth === null ? '' : depth}`);
  }
  const header = 'year,month,day,time,latitude,longitude,magnitude,depth';
  const classOf = (depth, bounds) => depth === null ? 0 : 1 + bounds.filter((b) => depth >= b).length;

  const sectioned = pageData(rows, ['--colour', 'depth', '--section', '6,0.5,6,15.5', '--depth-max', '300'], header);
  const map = sectioned.map;
  assert.equal(map.classBits, 4);
  assert.deepEqual(Array.from(logic.unpackClasses(map.classes, 60, map.classBits)),
                   depths.map((d) => classOf(d, [70, 300])));
  // The panel shows the events on the line with a depth down to 300 km.
  const entries = Array.from(logic.unpackDeltas(map.section.entries, map.section.count));
  assert.deepEqual(entries, depths.map((d, n) => n).filter((n) => n % 2 === 0 && depths[n] !== null && depths[n] <= 300));
  const rowsInPanel = logic.unpackInt16s(map.section.rows, map.section.count);
  const deeper = entries.map((n, j) => [depths[n], rowsInPanel[j]]).sort((a, b) => a[0] - b[0]);
  for (let j = 1; j < deeper.length; j++) assert.ok(deeper[j][1] <= deeper[j - 1][1], 'deeper is lower in the panel');

  // More classes than four bits hold take a byte each.
  const bounds = Array.from({length: 16}, (_, k) => 25 * (k + 1));
  const fine = pageData(rows, ['--colour', 'depth', '--depth-classes', bounds.join(',')], header).map;
  assert.equal(fine.classBits, 8);
  assert.deepEqual(Array.from(logic.unpackClasses(fine.classes, 60, fine.classBits)),
                   depths.map((d) => classOf(d, bounds)));

  // Age: the start-up view's window, then one per frame, each ending after
  // it starts; the events' instants in order.
  const aged = pageData(rows, ['--colour', 'age', '--window', '10d', '--step', '5d'], header);
  const windows = logic.unpackDeltas(aged.map.windows, 2 * (aged.frames.count + 1));
  for (let k = 0; k <= aged.frames.count; k++) assert.ok(windows[2 * k + 1] > windows[2 * k], `window ${k}`);
  assert.equal(windows[3] - windows[2], 10 * 86400);
  // Seconds on the 365-day measure: 2021-01-01 12:00 is day 737,666.5, a
  // first difference far past 32 bits.
  const ages = logic.unpackDeltas(aged.map.ages, 60);
  assert.equal(ages[0], 737666.5 * 86400);
  for (let i = 1; i < 60; i++) assert.equal(ages[i] - ages[i - 1], 86400);
});

test('a packed column that ends early is refused, not read past its end', () => {
  assert.throws(() => logic.unpackDeltas(Buffer.from([0x81]).toString('base64'), 1), /ends early/);
  assert.throws(() => logic.unpackFloats(Buffer.from([1, 2, 3]).toString('base64'), 1), /ends early/);
  assert.throws(() => logic.unpackInt16s(Buffer.from([1]).toString('base64'), 1), /ends early/);
});

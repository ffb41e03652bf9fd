// The playback page's player. It draws what sismap-record draws: the marks
// of the frame's events, the white outline, the black legend strip and the
// red legend, with the viewer's keys. The recorder has worked out every
// frame (which events, which legend text); the player finds the frame's
// first and last event by binary search on the events' keys and draws only
// those. Everything is drawn into pixels directly, without smoothing, so
// that marks and outline land on the pixels the recorder's frames show.
(function () {
  'use strict';

  const fround = Math.fround;
  const MARK_SIZE = fround(0.025);  // half a mark's bar per unit of magnitude
  const MIN_ZOOM = 0.001;           // zooming out stops above it

  // --- Unpacking the data -------------------------------------------------

  function bytesOf(base64) {
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  // Zigzag variable-length differences back into the values.
  function unpackDeltas(base64, count) {
    const bytes = bytesOf(base64);
    const values = new Float64Array(count);
    let at = 0;
    let value = 0;
    for (let i = 0; i < count; i++) {
      let z = 0;
      let scale = 1;
      let byte;
      do {
        if (at >= bytes.length) throw new Error('packed column ends early');
        byte = bytes[at++];
        z += (byte & 0x7f) * scale;
        scale *= 128;
      } while (byte & 0x80);
      value += z % 2 === 0 ? z / 2 : -(z + 1) / 2;
      values[i] = value;
    }
    return values;
  }

  const littleEndian = new Uint8Array(new Uint16Array([1]).buffer)[0] === 1;

  function unpackFloats(base64, count) {
    const bytes = bytesOf(base64);
    if (bytes.length < count * 4) throw new Error('packed column ends early');
    if (littleEndian) return new Float32Array(bytes.buffer, 0, count);
    const view = new DataView(bytes.buffer);
    const values = new Float32Array(count);
    for (let i = 0; i < count; i++) values[i] = view.getFloat32(i * 4, true);
    return values;
  }

  function unpackMagnitudes(base64, count, scale) {
    if (scale === 0) return unpackFloats(base64, count);
    const bytes = bytesOf(base64);
    const values = new Float32Array(count);
    if (scale === 10) {
      for (let i = 0; i < count; i++) values[i] = bytes[i] / 10;
    } else {
      for (let i = 0; i < count; i++) values[i] = (bytes[2 * i] | (bytes[2 * i + 1] << 8)) / 100;
    }
    return values;
  }

  // First index whose key is not below `key`.
  function lowerBound(keys, key) {
    let low = 0;
    let high = keys.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (keys[middle] < key) low = middle + 1;
      else high = middle;
    }
    return low;
  }

  const data = JSON.parse(document.getElementById('sismap-data').textContent);
  const W = data.width;
  const H = data.height;
  const view = data.view;
  const camera = data.camera;  // plane to frame pixels: x*sx + ox, y*sy + oy (from the bottom)
  const eventCount = data.events.count;
  const frameCount = data.frames.count;
  const keys = unpackDeltas(data.events.keys, eventCount);
  const longitudes = unpackFloats(data.events.longitudes, eventCount);
  const latitudes = unpackFloats(data.events.latitudes, eventCount);
  const magnitudes = unpackMagnitudes(data.events.magnitudes, eventCount, data.events.magnitudeScale);
  const frameLow = unpackDeltas(data.frames.low, frameCount);
  const frameHigh = unpackDeltas(data.frames.high, frameCount);
  const legends = data.frames.legends;
  const outline = data.outline;

  // --- State, as the viewer keeps it --------------------------------------

  const state = {
    mode: 'full',  // 'full' (the whole catalogue), 'playing' or 'paused'
    frame: 0,
    threshold: fround(view.threshold),
    zoom: fround(view.zoom),
    panX: fround(view.panX),
    panY: fround(view.panY),
  };

  // The events drawn now and the legend's texts.
  function currentWindow() {
    if (state.mode === 'full') return {first: 0, end: data.startup.end, dates: data.startup.legend};
    const k = state.frame;
    return {first: lowerBound(keys, frameLow[k]), end: lowerBound(keys, frameHigh[k]), dates: legends[k]};
  }

  function magnitudeText() {
    return 'Magnitude >= ' + Math.trunc(state.threshold);
  }

  // --- Drawing -------------------------------------------------------------

  const canvas = document.getElementById('map');
  canvas.width = W;
  canvas.height = H;
  const context = canvas.getContext('2d', {alpha: false});
  const image = context.createImageData(W, H);
  const pixels = new Uint32Array(image.data.buffer);
  const BLACK = littleEndian ? 0xff000000 : 0x000000ff;
  const WHITE = 0xffffffff;

  function rgba(red, green, blue) {
    return littleEndian ? ((0xff << 24) | (blue << 16) | (green << 8) | red) >>> 0
                        : ((red << 24) | (green << 16) | (blue << 8) | 0xff) >>> 0;
  }

  // A colour component as the graphics library stores it: clamped, 8 bits.
  function channel(value) {
    return Math.round(Math.min(1, Math.max(0, value)) * 255);
  }

  const markColours = new Map();
  function markColour(m) {
    let colour = markColours.get(m);
    if (colour === undefined) {
      colour = rgba(255, channel(fround((8 - m) / 5)), 0);
      markColours.set(m, colour);
    }
    return colour;
  }

  // Frame pixels, x from the left and y from the bottom as the graphics
  // library counts them, are put at row H - 1 - y of the canvas.
  function put(column, row, colour) {
    if (column >= 0 && column < W && row >= 0 && row < H) pixels[(H - 1 - row) * W + column] = colour;
  }

  // Lines as the graphics library draws them, by the diamond-exit rule: a
  // line from a to b lights each pixel whose diamond |x - cx| + |y - cy| <
  // 1/2 around its centre (cx, cy) the line passes through, unless the
  // line ends inside it. The marks' bars, left to right and bottom to top,
  // take a short way; other lines test the few pixels along their course.
  function inDiamond(x, y, column, row) {
    return Math.abs(x - column - 0.5) + Math.abs(y - row - 0.5) < 0.5;
  }

  // Whether the line from a to b meets the diamond of (column, row): the
  // distance |x - cx| + |y - cy| along the line is smallest at an end or
  // where x or y passes the centre.
  function meetsDiamond(ax, ay, dx, dy, column, row) {
    const cx = column + 0.5;
    const cy = row + 0.5;
    let nearest = Infinity;
    const at = (t) => {
      if (t >= 0 && t <= 1) nearest = Math.min(nearest, Math.abs(ax + t * dx - cx) + Math.abs(ay + t * dy - cy));
    };
    at(0);
    at(1);
    if (dx !== 0) at((cx - ax) / dx);
    if (dy !== 0) at((cy - ay) / dy);
    return nearest < 0.5;
  }

  // Half the width of a diamond at `offset` from its centre line; a line
  // exactly between two rows counts to the upper one.
  function halfWidth(offset) {
    return Math.max(0.5 - Math.abs(offset), 1e-9);
  }

  function line(ax, ay, bx, by, colour) {
    const dx = bx - ax;
    const dy = by - ay;
    if (!(Math.abs(dx) + Math.abs(dy) > 0)) return;
    if (dy === 0 && dx > 0) {
      const row = Math.floor(ay);
      if (row < 0 || row >= H) return;
      const h = halfWidth(ay - row - 0.5);
      const from = Math.max(0, Math.floor(ax - 0.5 - h) + 1);
      const to = Math.min(W - 1, Math.floor(bx - 0.5 - h));
      const base = (H - 1 - row) * W;
      for (let c = from; c <= to; c++) pixels[base + c] = colour;
      return;
    }
    if (dx === 0 && dy > 0) {
      const column = Math.floor(ax);
      if (column < 0 || column >= W) return;
      const h = halfWidth(ax - column - 0.5);
      const from = Math.max(0, Math.floor(ay - 0.5 - h) + 1);
      const to = Math.min(H - 1, Math.floor(by - 0.5 - h));
      for (let r = from; r <= to; r++) pixels[(H - 1 - r) * W + column] = colour;
      return;
    }
    const visit = (column, row) => {
      if (column < 0 || column >= W || row < 0 || row >= H) return;
      if (meetsDiamond(ax, ay, dx, dy, column, row) && !inDiamond(bx, by, column, row)) put(column, row, colour);
    };
    if (Math.abs(dx) >= Math.abs(dy)) {
      const from = Math.max(0, Math.floor(Math.min(ax, bx) - 0.5));
      const to = Math.min(W - 1, Math.floor(Math.max(ax, bx) + 0.5));
      for (let c = from; c <= to; c++) {
        const y = Math.floor(ay + (c + 0.5 - ax) * dy / dx);
        for (let r = y - 1; r <= y + 1; r++) visit(c, r);
      }
    } else {
      const from = Math.max(0, Math.floor(Math.min(ay, by) - 0.5));
      const to = Math.min(H - 1, Math.floor(Math.max(ay, by) + 0.5));
      for (let r = from; r <= to; r++) {
        const x = Math.floor(ax + (r + 0.5 - ay) * dx / dy);
        for (let c = x - 1; c <= x + 1; c++) visit(c, r);
      }
    }
  }

  const toFrameX = (x) => x * camera[0] + camera[1];
  const toFrameY = (y) => y * camera[2] + camera[3];

  function recorderTextWidth(text) {
    let width = 0;
    for (let i = 0; i < text.length; i++) {
      const c = text.charCodeAt(i) - 32;
      if (c >= 0 && c < data.glyphAdvances.length) width += data.glyphAdvances[c];
    }
    return width;
  }

  let lastDrawMilliseconds = 0;
  let firstDrawnAt = -1;

  function draw() {
    const started = performance.now();
    const win = currentWindow();
    pixels.fill(BLACK);
    const zoom = state.zoom;
    const centreX = fround(view.centreX);
    const centreY = fround(view.centreY);
    const offsetX = fround(centreX + state.panX);
    const offsetY = fround(centreY + state.panY);
    const threshold = state.threshold;

    // Marks: a horizontal and a vertical bar, each vertex worked out in
    // double from the single-precision values and rounded once.
    for (let i = win.first; i < win.end; i++) {
      const m = magnitudes[i];
      if (m < threshold) continue;
      const s = fround(m * MARK_SIZE);
      const x = longitudes[i];
      const y = latitudes[i];
      const colour = markColour(m);
      const left = toFrameX(fround((x - s - centreX) * zoom + offsetX));
      const right = toFrameX(fround((x + s - centreX) * zoom + offsetX));
      const middleY = toFrameY(fround((y - centreY) * zoom + offsetY));
      const middleX = toFrameX(fround((x - centreX) * zoom + offsetX));
      const bottom = toFrameY(fround((y - s - centreY) * zoom + offsetY));
      const top = toFrameY(fround((y + s - centreY) * zoom + offsetY));
      line(left, middleY, right, middleY, colour);
      line(middleX, bottom, middleX, top, colour);
    }

    // The outline, closed, over the marks.
    const points = outline.length / 2;
    let previousX = 0;
    let previousY = 0;
    for (let p = 0; p <= points && points > 0; p++) {
      const q = p % points;
      const x = toFrameX(fround(fround(outline[2 * q] - centreX) * zoom + offsetX));
      const y = toFrameY(fround(fround(outline[2 * q + 1] - centreY) * zoom + offsetY));
      if (p > 0) line(previousX, previousY, x, y, WHITE);
      previousX = x;
      previousY = y;
    }

    // The legend strip, fixed in the plane whatever the zoom and pan.
    const boxLeft = toFrameX(fround(view.minX - 0.1));
    const boxRight = toFrameX(fround(view.maxX - 0.1));
    const boxBottom = toFrameY(fround(view.minY - 0.2));
    const boxTop = toFrameY(fround(view.minY + 0.5));
    const c0 = Math.max(0, Math.ceil(Math.min(boxLeft, boxRight) - 0.5));
    const c1 = Math.min(W - 1, Math.ceil(Math.max(boxLeft, boxRight) - 0.5) - 1);
    const r0 = Math.max(0, Math.ceil(Math.min(boxBottom, boxTop) - 0.5));
    const r1 = Math.min(H - 1, Math.ceil(Math.max(boxBottom, boxTop) - 0.5) - 1);
    for (let r = r0; r <= r1; r++) pixels.fill(BLACK, (H - 1 - r) * W + c0, (H - 1 - r) * W + c1 + 1);
    context.putImageData(image, 0, 0);

    // The legend's texts, in red, where the viewer writes them; a text
    // whose start lies outside the frame is not written, as with the
    // graphics library's raster position.
    context.fillStyle = 'rgb(255, 0, 0)';
    context.font = '18px Helvetica, Arial, "Liberation Sans", sans-serif';
    context.textBaseline = 'alphabetic';
    const textY = toFrameY(Math.trunc(view.minY));
    const texts = [[Math.trunc(view.minX), magnitudeText()], [Math.trunc(fround(view.minX + 8.5)), win.dates]];
    for (const [x, text] of texts) {
      const frameX = toFrameX(x);
      if (!(frameX >= 0 && frameX <= W && textY >= 0 && textY <= H)) continue;
      // Stretched to the width the recorder's font gives it, so that the
      // text covers the same stretch of the map.
      const measured = context.measureText(text).width;
      const wanted = recorderTextWidth(text);
      context.save();
      context.translate(Math.floor(frameX), H - Math.floor(textY));
      if (measured > 0 && wanted > 0) context.scale(wanted / measured, 1);
      context.fillText(text, 0, 0);
      context.restore();
    }

    lastDrawMilliseconds = performance.now() - started;
    if (firstDrawnAt < 0) firstDrawnAt = performance.now();
    showStatus(win);
  }

  // --- Controls and the address ------------------------------------------

  const playButton = document.getElementById('play');
  const slider = document.getElementById('slider');
  const thresholdMenu = document.getElementById('threshold');
  const datesText = document.getElementById('dates');
  const positionText = document.getElementById('position');
  slider.max = String(Math.max(0, frameCount - 1));
  let bare = false;
  let writtenHash = null;

  function showStatus(win) {
    datesText.textContent = win.dates;
    positionText.textContent = state.mode === 'full'
      ? '(whole catalogue)'
      : '(frame ' + state.frame + ' of ' + (frameCount - 1) + ')';
    playButton.innerHTML = state.mode === 'playing' ? '&#10074;&#10074;' : '&#9654;';
    slider.value = String(state.mode === 'full' ? 0 : state.frame);
    thresholdMenu.value = String(Math.trunc(state.threshold));
  }

  function hashNow() {
    const parts = [];
    if (state.mode !== 'full') parts.push('frame=' + state.frame);
    if (bare) parts.push('bare');
    return parts.length ? '#' + parts.join('&') : '';
  }

  // The address always holds a link to what is on screen; without adding
  // a history entry for every frame.
  function writeHash() {
    const hash = hashNow();
    if (hash === writtenHash) return;
    writtenHash = hash;
    const address = location.href.replace(/#.*$/, '') + hash;
    try {
      history.replaceState(null, '', address);
    } catch (e) {
      location.replace(hash || '#');
    }
  }

  function show() {
    draw();
    writeHash();
  }

  // The viewer's window operations, over the recorder's frames.
  function collapse() {
    state.mode = 'paused';
    state.frame = 0;
  }
  function pause() {
    if (state.mode === 'full') collapse();
    else state.mode = 'paused';
  }
  function play() {
    if (state.mode === 'full') collapse();
    state.mode = 'playing';
  }
  function stepForward() {
    pause();
    if (state.frame < frameCount - 1) state.frame++;
  }
  function stepBack() {
    pause();
    if (state.frame > 0) state.frame--;
  }
  function reset() {
    state.mode = 'full';
    state.frame = 0;
  }
  function setThreshold(m) {
    state.threshold = fround(m);
  }

  function tick() {
    if (state.mode !== 'playing') return;
    if (state.frame >= frameCount - 1) state.mode = 'paused';
    else state.frame++;
    show();
  }

  const keyActions = {
    p: play, g: stepForward, h: stepBack, o: reset,
    0: () => setThreshold(0), 3: () => setThreshold(3), 4: () => setThreshold(4),
    5: () => setThreshold(5), 6: () => setThreshold(6), 7: () => setThreshold(7),
    a: () => { state.zoom = fround(state.zoom + fround(view.zoomStep)); },
    z: () => {
      const candidate = fround(state.zoom - fround(view.zoomStep));
      if (candidate > MIN_ZOOM) state.zoom = candidate;
    },
    // The arrows move the view, which shifts the map the other way.
    ArrowLeft: () => { state.panX = fround(state.panX + fround(view.panStepX)); },
    ArrowUp: () => { state.panY = fround(state.panY - fround(view.panStepY)); },
    ArrowRight: () => { state.panX = fround(state.panX - fround(view.panStepX)); },
    ArrowDown: () => { state.panY = fround(state.panY + fround(view.panStepY)); },
  };

  function onKey(event) {
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    const action = Object.prototype.hasOwnProperty.call(keyActions, key) ? keyActions[key] : null;
    if (!action) return;
    event.preventDefault();
    action();
    show();
  }

  function readHash() {
    writtenHash = location.hash;
    const parts = location.hash.replace(/^#/, '').split('&');
    bare = parts.indexOf('bare') >= 0;
    document.body.classList.toggle('bare', bare);
    for (const part of parts) {
      const match = /^frame=(\d+)$/.exec(part);
      if (match) {
        state.mode = 'paused';
        state.frame = Math.min(frameCount - 1, Number(match[1]));
        return;
      }
    }
  }

  document.addEventListener('keydown', onKey, true);
  window.addEventListener('hashchange', () => {
    if (location.hash === writtenHash) return;
    readHash();
    show();
  });
  playButton.addEventListener('click', () => {
    if (state.mode === 'playing') pause();
    else play();
    show();
  });
  document.getElementById('back').addEventListener('click', () => { stepBack(); show(); });
  document.getElementById('forward').addEventListener('click', () => { stepForward(); show(); });
  document.getElementById('whole').addEventListener('click', () => { reset(); show(); });
  slider.addEventListener('input', () => {
    state.mode = 'paused';
    state.frame = Number(slider.value);
    show();
  });
  thresholdMenu.addEventListener('change', () => {
    setThreshold(Number(thresholdMenu.value));
    show();
  });
  // A clicked control gives the keys back to the map.
  for (const control of document.querySelectorAll('button, select, input')) {
    control.addEventListener('change', () => control.blur());
    control.addEventListener('click', () => { if (control.tagName === 'BUTTON') control.blur(); });
  }

  readHash();
  show();
  setInterval(tick, 1000 / data.fps);

  // What is on screen, for scripts and tests.
  window.sismapPlayer = {
    state: () => {
      const win = currentWindow();
      return {
        mode: state.mode, frame: state.frame, frames: frameCount, events: eventCount,
        threshold: state.threshold, zoom: state.zoom, panX: state.panX, panY: state.panY,
        first: win.first, end: win.end, legend: [magnitudeText(), win.dates],
      };
    },
    drawMilliseconds: () => lastDrawMilliseconds,
    firstDrawnAt: () => firstDrawnAt,
    redraw: () => { draw(); return lastDrawMilliseconds; },
  };
})();

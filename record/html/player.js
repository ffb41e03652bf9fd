// The playback page's player. It draws what sismap-record draws: the marks
// of the frame's events, the white outline, the black legend strip and the
// red legend, with the viewer's keys; in map mode the map part with its
// coasts, marks sized in pixels and the section's lines, over the keys band
// and the section panel the recorder drew. The recorder has worked out
// every frame (which events, which legend text); the player finds the
// frame's first and last event by binary search on the events' keys and
// draws only those. Everything is drawn into pixels directly, without
// smoothing, so that marks and lines land on the pixels the recorder's
// frames show.
(function () {
  'use strict';

  const fround = Math.fround;
  const MARK_SIZE = fround(0.025);  // half a mark's bar per unit of magnitude
  const MIN_ZOOM = 0.001;           // zooming out stops above it

  const {littleEndian, bytesOf, unpackDeltas, unpackFloats, unpackInt16s, unpackMagnitudes, unpackClasses,
         lowerBound, dashes} = window.sismapLogic;

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
  const map = data.map || null;

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

  // Rows drawing may light now, as the recorder's scissor and viewport
  // keep each part of a map-mode frame to its own rows.
  let clipLow = 0;
  let clipHigh = H - 1;
  function clipRows(low, high) {
    clipLow = Math.max(0, low);
    clipHigh = Math.min(H - 1, high);
  }

  // Frame pixels, x from the left and y from the bottom as the graphics
  // library counts them, are put at row H - 1 - y of the canvas.
  function put(column, row, colour) {
    if (column >= 0 && column < W && row >= clipLow && row <= clipHigh) pixels[(H - 1 - row) * W + column] = colour;
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
      if (row < clipLow || row > clipHigh) return;
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
      const from = Math.max(clipLow, Math.floor(ay - 0.5 - h) + 1);
      const to = Math.min(clipHigh, Math.floor(by - 0.5 - h));
      for (let r = from; r <= to; r++) pixels[(H - 1 - r) * W + column] = colour;
      return;
    }
    const visit = (column, row) => {
      if (column < 0 || column >= W || row < clipLow || row > clipHigh) return;
      if (meetsDiamond(ax, ay, dx, dy, column, row) && !inDiamond(bx, by, column, row))
        pixels[(H - 1 - row) * W + column] = colour;
    };
    if (Math.abs(dx) >= Math.abs(dy)) {
      const from = Math.max(0, Math.floor(Math.min(ax, bx) - 0.5));
      const to = Math.min(W - 1, Math.floor(Math.max(ax, bx) + 0.5));
      for (let c = from; c <= to; c++) {
        const y = Math.floor(ay + (c + 0.5 - ax) * dy / dx);
        for (let r = y - 1; r <= y + 1; r++) visit(c, r);
      }
    } else {
      const from = Math.max(clipLow, Math.floor(Math.min(ay, by) - 0.5));
      const to = Math.min(clipHigh, Math.floor(Math.max(ay, by) + 0.5));
      for (let r = from; r <= to; r++) {
        const x = Math.floor(ax + (r + 0.5 - ay) * dx / dy);
        for (let c = x - 1; c <= x + 1; c++) visit(c, r);
      }
    }
  }

  // A line `width` pixels wide, as the graphics library widens it: along
  // its longer axis, each pixel whose centre the line passes gets the
  // `width` pixels across it whose centres lie within half the width.
  function wideLine(ax, ay, bx, by, width, colour) {
    if (width <= 1) {
      line(ax, ay, bx, by, colour);
      return;
    }
    const dx = bx - ax;
    const dy = by - ay;
    if (!(Math.abs(dx) + Math.abs(dy) > 0)) return;
    const half = width / 2;
    if (Math.abs(dx) >= Math.abs(dy)) {
      const to = Math.max(ax, bx);
      for (let c = Math.ceil(Math.min(ax, bx) - 0.5); c + 0.5 < to; c++) {
        const y = ay + (c + 0.5 - ax) * dy / dx;
        for (let r = Math.ceil(y - half - 0.5); r + 0.5 < y + half; r++) put(c, r, colour);
      }
    } else {
      const to = Math.max(ay, by);
      for (let r = Math.ceil(Math.min(ay, by) - 0.5); r + 0.5 < to; r++) {
        const x = ax + (r + 0.5 - ay) * dx / dy;
        for (let c = Math.ceil(x - half - 0.5); c + 0.5 < x + half; c++) put(c, r, colour);
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

  // The viewer's view transform now, in its single precision: a plane
  // point (x, y) goes to ((x - centreX) * zoom + offsetX, ...).
  function viewNow() {
    const centreX = fround(view.centreX);
    const centreY = fround(view.centreY);
    return {zoom: state.zoom, centreX, centreY, offsetX: fround(centreX + state.panX),
            offsetY: fround(centreY + state.panY)};
  }

  // The outline as a closed white line, each vertex placed as the viewer
  // places it (in single precision) and then taken to the frame's pixels
  // by `pixelX` and `pixelY`.
  function drawOutline(centreX, centreY, offsetX, offsetY, pixelX, pixelY) {
    const zoom = state.zoom;
    const points = outline.length / 2;
    let previousX = 0;
    let previousY = 0;
    for (let p = 0; p <= points && points > 0; p++) {
      const q = p % points;
      const x = pixelX(fround(fround(outline[2 * q] - centreX) * zoom + offsetX));
      const y = pixelY(fround(fround(outline[2 * q + 1] - centreY) * zoom + offsetY));
      if (p > 0) line(previousX, previousY, x, y, WHITE);
      previousX = x;
      previousY = y;
    }
  }

  let lastDrawMilliseconds = 0;
  let firstDrawnAt = -1;

  function draw() {
    const started = performance.now();
    if (map && !mapParts) return;  // not yet unpacked
    const win = currentWindow();
    if (map) drawMap(win);
    else drawViewer(win);
    lastDrawMilliseconds = performance.now() - started;
    if (firstDrawnAt < 0) firstDrawnAt = performance.now();
    showStatus(win);
  }

  // The viewer's frame: the camera and legend of its 650-pixel window.
  function drawViewer(win) {
    pixels.fill(BLACK);
    const {zoom, centreX, centreY, offsetX, offsetY} = viewNow();
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
    drawOutline(centreX, centreY, offsetX, offsetY, toFrameX, toFrameY);

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
  }

  // --- Map mode -------------------------------------------------------------

  const RED = rgba(255, 0, 0);

  function colourOf(rgb) {
    return rgba(channel(rgb[0]), channel(rgb[1]), channel(rgb[2]));
  }

  // The texts, in the stroke font the recorder writes them in: each
  // character's segments, scaled from font units to pixels.
  function glyphAt(code) {
    const c = code - 32;
    return c >= 0 && c < map.text.advances.length ? c : -1;
  }

  function strokeText(x, y, text, colour) {
    const t = map.text;
    let pen = 0;
    for (let i = 0; i < text.length; i++) {
      const c = glyphAt(text.charCodeAt(i));
      if (c < 0) continue;
      const segments = t.segments[c];
      for (let k = 0; k + 3 < segments.length; k += 4) {
        wideLine(x + (pen + segments[k]) * t.scale, y + segments[k + 1] * t.scale,
                 x + (pen + segments[k + 2]) * t.scale, y + segments[k + 3] * t.scale, t.lineWidth, colour);
      }
      pen += t.advances[c];
    }
  }

  // The text's width as the recorder lays texts out: the font's whole
  // units, rounded, in pixels.
  function strokeTextWidth(text) {
    let units = 0;
    for (let i = 0; i < text.length; i++) {
      const c = glyphAt(text.charCodeAt(i));
      if (c >= 0) units += map.text.advances[c];
    }
    return Math.floor(units + 0.5) * map.text.scale;
  }

  let mapParts = null;  // unpacked once the page is ready

  // The parts below the map come as a PNG inside the page's data, decoded
  // from memory: nothing is fetched, not even a data: address.
  async function unpackMap() {
    const parts = {lower: null, coasts: null, classes: null, ages: null, windows: null};
    if (map.lower && map.bottom > 0) {
      try {
        const bitmap = await createImageBitmap(new Blob([bytesOf(map.lower)], {type: 'image/png'}),
                                               {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
        const scratch = document.createElement('canvas');
        scratch.width = W;
        scratch.height = map.bottom;
        const scratchContext = scratch.getContext('2d');
        scratchContext.drawImage(bitmap, 0, 0);
        parts.lower = new Uint32Array(scratchContext.getImageData(0, 0, W, map.bottom).data.buffer);
      } catch (error) {
        // A browser that cannot decode it still plays the map; the band
        // keeps its changing texts.
        console.error('sismap: the keys band could not be decoded:', error);
      }
    }
    if (map.coasts) {
      let points = 0;
      for (const count of map.coasts.counts) points += count;
      parts.coasts = unpackFloats(map.coasts.xy, 2 * points);
    }
    if (map.colouring === 'depth') {
      parts.classes = unpackClasses(map.classes, eventCount, map.classBits);
      parts.palette = map.palette.map(colourOf);
    } else if (map.colouring === 'age') {
      parts.ages = unpackDeltas(map.ages, eventCount);
      parts.windows = unpackDeltas(map.windows, 2 * (frameCount + 1));
    }
    if (map.section) {
      parts.sectionEntries = unpackDeltas(map.section.entries, map.section.count);
      parts.columns = unpackInt16s(map.section.columns, map.section.count);
      parts.rows = unpackInt16s(map.section.rows, map.section.count);
      parts.profileColour = colourOf(map.section.colour);
    }
    mapParts = parts;
  }

  // Where a point of the plane lands in the frame under the present zoom
  // and pan: the map part's camera spreads its world window over the rows
  // from map.bottom up.
  function mapPixelX(x) {
    const w = map.world;
    return (x - w[0]) / (w[1] - w[0]) * W;
  }
  function mapPixelY(y) {
    const w = map.world;
    return map.bottom + (y - w[2]) / (w[3] - w[2]) * (H - map.bottom);
  }

  // The map part's lines (coasts or outline) for the present view, kept
  // until the zoom or the pan changes: a full coast takes far longer to
  // draw than a frame's marks.
  let linesKey = null;
  let linesLayer = null;

  function drawMapLines(centreX, centreY, offsetX, offsetY) {
    const key = state.zoom + ' ' + offsetX + ' ' + offsetY;
    const rows = (H - map.bottom) * W;
    if (key === linesKey) {
      pixels.set(linesLayer);
      return;
    }
    pixels.fill(BLACK, 0, rows);
    const zoom = state.zoom;
    if (mapParts.coasts) {
      // As the recorder lists them: a vertex within half a pixel of the
      // last one kept is left out, but for each line's ends.
      const xy = mapParts.coasts;
      const least = map.coastLeast;
      let at = 0;
      map.coasts.counts.forEach((count, n) => {
        let lastX = 0;
        let lastY = 0;
        let firstX = 0;
        let firstY = 0;
        let previousX = 0;
        let previousY = 0;
        for (let i = 0; i < count; i++) {
          const x = (xy[2 * (at + i)] - centreX) * zoom + offsetX;
          const y = (xy[2 * (at + i) + 1] - centreY) * zoom + offsetY;
          const ends = i === 0 || i === count - 1;
          if (!ends && Math.abs(x - lastX) < least && Math.abs(y - lastY) < least) continue;
          lastX = x;
          lastY = y;
          const px = mapPixelX(x);
          const py = mapPixelY(y);
          if (i === 0) {
            firstX = px;
            firstY = py;
          } else {
            line(previousX, previousY, px, py, WHITE);
          }
          previousX = px;
          previousY = py;
        }
        if (map.coasts.closed[n] && count > 1) line(previousX, previousY, firstX, firstY, WHITE);
        at += count;
      });
    } else {
      drawOutline(centreX, centreY, offsetX, offsetY, mapPixelX, mapPixelY);
    }
    linesKey = key;
    linesLayer = pixels.slice(0, rows);
  }

  // A plus centred on pixel (i, j) with bars h pixels either side.
  function plus(i, j, h, colour) {
    for (let c = i - h; c <= i + h; c++) put(c, j, colour);
    for (let r = j - h; r <= j + h; r++) put(i, r, colour);
  }

  function drawMap(win) {
    const bottom = map.bottom;
    const {zoom, centreX, centreY, offsetX, offsetY} = viewNow();
    const threshold = state.threshold;
    clipRows(bottom, H - 1);
    drawMapLines(centreX, centreY, offsetX, offsetY);
    if (mapParts.lower) pixels.set(mapParts.lower, (H - bottom) * W);
    else pixels.fill(BLACK, (H - bottom) * W);

    // The colour of entry i: by magnitude, by its depth's class, or by
    // magnitude dimmed with its age in the window.
    let windowStart = 0;
    let windowSpan = 0;
    if (mapParts.windows) {
      const w = state.mode === 'full' ? 0 : state.frame + 1;
      windowStart = mapParts.windows[2 * w];
      windowSpan = mapParts.windows[2 * w + 1] - windowStart;
    }
    const colourAt = (i, m) => {
      if (mapParts.classes) return mapParts.palette[mapParts.classes[i]];
      if (mapParts.ages) {
        const newness = windowSpan > 0 ? (mapParts.ages[i] - windowStart) / windowSpan : 1;
        const scale = fround(0.25 + 0.75 * Math.min(1, Math.max(0, newness)));
        const green = fround(Math.min(1, Math.max(0, fround((8 - m) / 5))));
        return rgba(channel(scale), channel(fround(green * scale)), 0);
      }
      return markColour(m);
    };
    const halfPixels = (m) => Math.round(Math.max(map.markLeast, m * map.markPixels));

    // Marks in pixels, centred on the pixel their event falls in.
    for (let i = win.first; i < win.end; i++) {
      const m = magnitudes[i];
      if (m < threshold) continue;
      const px = mapPixelX((longitudes[i] - centreX) * zoom + offsetX);
      const py = mapPixelY((latitudes[i] - centreY) * zoom + offsetY);
      if (!(px > -100 && px < W + 100 && py > -100 && py < H + 100)) continue;
      plus(Math.floor(px), Math.floor(py), halfPixels(m), colourAt(i, m));
    }

    if (map.section) {
      const section = map.section;
      const toPixels = (xy) => {
        const out = [];
        for (let k = 0; k + 1 < xy.length; k += 2) {
          out.push(mapPixelX((xy[k] - centreX) * zoom + offsetX), mapPixelY((xy[k + 1] - centreY) * zoom + offsetY));
        }
        return out;
      };
      // The profile over the marks, and the swath's dashed edges.
      const profile = toPixels(section.profile);
      for (let k = 0; k + 3 < profile.length; k += 2) {
        wideLine(profile[k], profile[k + 1], profile[k + 2], profile[k + 3], section.lineWidth,
                 mapParts.profileColour);
      }
      for (const edge of section.edges) {
        for (const dash of dashes(toPixels(edge), section.dash)) {
          for (let k = 0; k + 3 < dash.length; k += 2)
            line(dash[k], dash[k + 1], dash[k + 2], dash[k + 3], mapParts.profileColour);
        }
      }
      // A and A' beyond the line's ends, kept in the map part.
      clipRows(0, H - 1);
      const ax = profile[0];
      const ay = profile[1];
      const bx = profile[profile.length - 2];
      const by = profile[profile.length - 1];
      const length = Math.hypot(bx - ax, by - ay);
      const ux = length > 0 ? (bx - ax) / length : 1;
      const uy = length > 0 ? (by - ay) / length : 0;
      const cap = section.cap;
      for (const [x0, y0, sign, text] of [[ax, ay, -1, 'A'], [bx, by, 1, "A'"]]) {
        const w = strokeTextWidth(text);
        const x = Math.min(Math.max(x0 + sign * ux * section.labelAway - w / 2, 2), W - w - 2);
        const y = Math.min(Math.max(y0 + sign * uy * section.labelAway - cap / 2, bottom + 2), H - cap - 2);
        strokeText(x, y, text, mapParts.profileColour);
      }
      // The section's marks over the panel the recorder drew.
      clipRows(section.rowsLow, bottom - 1);
      const entries = mapParts.sectionEntries;
      for (let j = lowerBound(entries, win.first); j < entries.length && entries[j] < win.end; j++) {
        const i = entries[j];
        const m = magnitudes[i];
        if (m < threshold) continue;
        plus(mapParts.columns[j], mapParts.rows[j], halfPixels(m), colourAt(i, m));
      }
    }

    // The band's texts that change.
    clipRows(0, H - 1);
    strokeText(map.text.threshold[0], map.text.threshold[1], magnitudeText(), RED);
    strokeText(map.text.dates[0], map.text.dates[1], win.dates, RED);
    context.putImageData(image, 0, 0);
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

  // Map mode starts once its image is decoded; `ready` settles with the
  // first frame on screen.
  const ready = (map ? unpackMap() : Promise.resolve()).then(() => {
    readHash();
    show();
    setInterval(tick, 1000 / data.fps);
  });

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
    ready,
  };
})();

// The playback page's logic that needs no page: unpacking the recorder's
// columns, finding a frame's events by binary search, and dashing a line as
// the recorder dashes it. The page runs it before the player; the tests run
// it under Node.
const sismapLogic = (function () {
  'use strict';

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

  function unpackInt16s(base64, count) {
    const bytes = bytesOf(base64);
    if (bytes.length < count * 2) throw new Error('packed column ends early');
    const values = new Int16Array(count);
    for (let i = 0; i < count; i++) values[i] = (bytes[2 * i] | (bytes[2 * i + 1] << 8)) << 16 >> 16;
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

  // Map mode's depth classes (each plus one, 0 for an unknown depth): two
  // to a byte, the first in the low half, when `bits` is 4; else a byte each.
  function unpackClasses(base64, count, bits) {
    const packed = bytesOf(base64);
    if (packed.length < (bits === 4 ? (count + 1) >> 1 : count)) throw new Error('packed column ends early');
    if (bits !== 4) return packed.subarray(0, count);
    const classes = new Uint8Array(count);
    for (let i = 0; i < count; i++) classes[i] = (packed[i >> 1] >> ((i & 1) * 4)) & 15;
    return classes;
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

  // The pieces of the line through `xy` (pixels, x, y, x, y, ...) drawn
  // when it is dashed as the recorder dashes it: `length` pixels drawn from
  // its start, `length` left out, and so on along the whole line.
  function dashes(xy, length) {
    const pieces = [];
    if (xy.length < 2 || !(length > 0)) return pieces;
    let drawn = true;
    let left = length;
    pieces.push([xy[0], xy[1]]);
    for (let k = 2; k + 1 < xy.length; k += 2) {
      let x = xy[k - 2];
      let y = xy[k - 1];
      const bx = xy[k];
      const by = xy[k + 1];
      let step = Math.hypot(bx - x, by - y);
      while (step >= left) {
        const t = left / step;
        x += (bx - x) * t;
        y += (by - y) * t;
        step -= left;
        if (drawn) pieces[pieces.length - 1].push(x, y);
        else pieces.push([x, y]);
        drawn = !drawn;
        left = length;
      }
      left -= step;
      if (drawn) pieces[pieces.length - 1].push(bx, by);
    }
    if (drawn && pieces[pieces.length - 1].length < 4) pieces.pop();
    return pieces;
  }

  return {littleEndian, bytesOf, unpackDeltas, unpackFloats, unpackInt16s, unpackMagnitudes, unpackClasses,
          lowerBound, dashes};
})();

if (typeof module !== 'undefined') module.exports = sismapLogic;
else window.sismapLogic = sismapLogic;

// SDL 1.2 as the game and its documentation know it, where emscripten's SDL (library_sdl.js)
// differs. Each function replaces emscripten's own of the same name; surfaces there are
// canvases, so a colour key becomes transparent pixels and a blit is a drawImage.
//
// Written against emscripten 3.1.6 (cmake/WebSite.cmake refuses another), whose internals these
// functions use and which another version may change:
// - SDL.surfaces[id]: width, height, flags, source, buffer, canvas, ctx, alpha, clipRect,
//   locked, isFlagSet(), colors32; SDL.screen; SDL.makeSurface; SDL.rwops (slot 0 meaning "no stream");
// - SDL.loadRect, SDL.updateRect, SDL.intersectionOfRects, SDL.translateColorToCSSRGBA,
//   _SDL_ConvertSurface, _SDL_LockSurface;
// - SDL.DOMEventToSDLEvent, SDL.keyboardState, SDL.startTime, SDL.initFlags (SDL_Init);
// - SDL.receiveEvent as the listener SDL_Init and SDL_SetVideoMode add, the events it listens
//   to (below), SDL.events, Module.keyboardListeningElement and Module.canvas;
// - the flag values of emscripten's SDL headers (SDL_SRCCOLORKEY 0x20000, SDL_HWPALETTE).
mergeInto(LibraryManager.library, {
  // Emscripten has only the alpha variant. The canvas copy keeps the colour key's transparent
  // pixels, as SDL 1.2 carries the key over to the converted surface.
  // A picture loaded and keyed but not yet drawn into its canvas goes straight into the copy's.
  SDL_DisplayFormat__deps: ['SDL_ConvertSurface'],
  SDL_DisplayFormat: function(surf) {
    var data = SDL.surfaces[surf];
    if (!data || !data.unshown) return _SDL_ConvertSurface(surf);
    var copy = SDL.makeSurface(data.width, data.height, data.flags, false, 'copy:' + data.source);
    SDL.surfaces[copy].ctx.putImageData(data.unshown, 0, 0);
    return copy;
  },

  // Each picture is decoded, keyed and converted before it is drawn: its pixels go into a canvas
  // once, when they are final, not once per step (LoadBMP_RW, SetColorKey, DisplayFormat). A
  // surface's unshown pixels reach its canvas before anything reads or draws over it here (the
  // game locks no surface itself).
  $zandorelShow: function(data) {
    if (data.unshown) {
      data.ctx.putImageData(data.unshown, 0, 0);
      data.unshown = null;
    }
  },

  // A BMP decoded at once by the decoder linked into the game (stb_image_bmp.cpp: a plain loop
  // for the game's own 24-bit pictures, Bmp24.cpp, and stb_image built for BMP alone for any
  // other), in place of emscripten's, which takes every format stb_image knows and reads each
  // picture back from its canvas twice. The decoded pixels are kept for the colour key, which the
  // game sets next, so that the key need not read them back either, and for the conversion after
  // it.
  // A file is read whole and decoded from memory: through the C library's stream the decoder
  // took its bytes a few at a time, each a call out to the file system.
  SDL_LoadBMP_RW__deps: ['SDL_FreeRW', 'malloc', 'free', '$FS'],
  SDL_LoadBMP_RW: function(rwopsID, freeSrc) {
    var rwops = SDL.rwops[rwopsID];
    var surf = 0;
    if (rwops) {
      var size = _malloc(8);
      var pixels = 0;
      if (rwops.filename !== undefined) {
        var file = null;
        try {
          file = FS.readFile(rwops.filename);
        } catch (e) {
          // Missing or unreadable: no surface, as the decoder gives for a file it cannot open.
        }
        if (file) {
          var bytes = _malloc(Math.max(1, file.length));
          HEAPU8.set(file, bytes);
          pixels = _zandorel_load_bmp(bytes, file.length, size, size + 4);
          _free(bytes);
        }
      } else {
        pixels = _zandorel_load_bmp(rwops.bytes, rwops.count, size, size + 4);
      }
      if (pixels) {
        var width = {{{ makeGetValue('size', 0, 'i32') }}};
        var height = {{{ makeGetValue('size', 4, 'i32') }}};
        surf = SDL.makeSurface(width, height, 0, false, 'load:' + rwops.filename);
        var data = SDL.surfaces[surf];
        var image = data.ctx.createImageData(width, height);
        image.data.set(HEAPU8.subarray(pixels, pixels + width * height * 4));
        // The pixels C reads, as emscripten's load leaves them.
        HEAPU8.set(image.data, data.buffer);
        data.unshown = image;
        _stbi_image_free(pixels);
      }
      _free(size);
    }
    if (rwops && freeSrc) _SDL_FreeRW(rwopsID);
    return surf;
  },

  // Emscripten ignores the key, so magenta would show. Done once per picture, here: pixels of
  // the key colour become transparent (and opaque again when the key is switched off).
  SDL_SetColorKey__deps: ['malloc', 'free'],
  SDL_SetColorKey: function(surf, flag, key) {
    var data = SDL.surfaces[surf];
    if (!data) return -1;
    if (data.width === 0 || data.height === 0) return 0;
    // SDL_SRCCOLORKEY: 0x20000 in emscripten's SDL headers, which the game is compiled with;
    // 0x1000 in SDL 1.2's own.
    var on = (flag & (0x20000 | 0x1000)) !== 0;
    var r = key & 0xff, g = (key >> 8) & 0xff, b = (key >> 16) & 0xff;
    // A picture just loaded is keyed from its decoded pixels; reading a canvas back is slow.
    var image = data.unshown || data.ctx.getImageData(0, 0, data.width, data.height);
    // Keyed by the game's own code (colour_key.cpp) in the pixels C reads, which a picture just
    // loaded already holds, then copied back.
    var bytes = image.data.length;
    var pixels = data.buffer || _malloc(bytes);
    if (!data.unshown || !data.buffer) HEAPU8.set(image.data, pixels);
    _zandorel_colour_key(pixels, bytes >> 2, (b << 16) | (g << 8) | r, on ? 1 : 0);
    image.data.set(HEAPU8.subarray(pixels, pixels + bytes));
    if (!data.buffer) _free(pixels);
    if (!data.unshown) data.ctx.putImageData(image, 0, 0);
    return 0;
  },

  // SDL 1.2 takes only x and y of the destination; emscripten also clips by its w and h, so a
  // destination of width 0 drew nothing. Source clipped to the picture, then to the target's
  // clip rectangle; the rectangle drawn is written back, as SDL 1.2 does.
  SDL_UpperBlit__deps: ['$zandorelShow'],
  SDL_UpperBlit: function(src, srcrect, dst, dstrect) {
    var s = SDL.surfaces[src], d = SDL.surfaces[dst];
    if (!s || !d) return -1;
    var r = srcrect ? SDL.loadRect(srcrect) : { x: 0, y: 0, w: s.width, h: s.height };
    var at = dstrect ? SDL.loadRect(dstrect) : { x: 0, y: 0 };
    var x = r.x, y = r.y, w = r.w, h = r.h, dx = at.x, dy = at.y;
    if (x < 0) { w += x; dx -= x; x = 0; }
    if (y < 0) { h += y; dy -= y; y = 0; }
    w = Math.min(w, s.width - x);
    h = Math.min(h, s.height - y);
    var clip = d.clipRect || { x: 0, y: 0, w: d.width, h: d.height };
    if (dx < clip.x) { w -= clip.x - dx; x += clip.x - dx; dx = clip.x; }
    if (dy < clip.y) { h -= clip.y - dy; y += clip.y - dy; dy = clip.y; }
    w = Math.min(w, clip.x + clip.w - dx);
    h = Math.min(h, clip.y + clip.h - dy);
    var drawn = w > 0 && h > 0;
    if (dstrect) {
      SDL.updateRect(dstrect, { x: dx, y: dy, w: drawn ? w : 0, h: drawn ? h : 0 });
    }
    if (!drawn) return 0;
    zandorelShow(s);
    zandorelShow(d);
    var oldAlpha = d.ctx.globalAlpha;
    d.ctx.globalAlpha = s.alpha / 255;
    d.ctx.drawImage(s.canvas, x, y, w, h, dx, dy, w, h);
    d.ctx.globalAlpha = oldAlpha;
    if (dst != SDL.screen) {
      // As emscripten's own blit: C code reads the pixels of surfaces other than the screen.
      _SDL_LockSurface(dst);
      d.locked--;
    }
    return 0;
  },

  // A fill sets the pixels to the colour, it does not paint over them: emscripten drew
  // colour 0 as transparent over the last frame. The screen has no alpha channel in SDL 1.2.
  SDL_FillRect__deps: ['$zandorelShow'],
  SDL_FillRect: function(surf, rect, color) {
    var d = SDL.surfaces[surf];
    if (!d) return -1;
    if (d.isFlagSet(0x00200000 /* SDL_HWPALETTE */)) {
      color = d.colors32[color];
    }
    var whole = { x: 0, y: 0, w: d.width, h: d.height };
    var r = rect ? SDL.intersectionOfRects(whole, SDL.loadRect(rect)) : whole;
    if (d.clipRect) r = SDL.intersectionOfRects(d.clipRect, r);
    if (rect) SDL.updateRect(rect, r);
    if (r.w <= 0 || r.h <= 0) return 0;
    if (surf == SDL.screen) color = color | 0xff000000;
    zandorelShow(d);
    d.ctx.clearRect(r.x, r.y, r.w, r.h);
    d.ctx.fillStyle = SDL.translateColorToCSSRGBA(color);
    d.ctx.fillRect(r.x, r.y, r.w, r.h);
    return 0;
  },

  // Slot 0 stands for "no stream": emscripten's version gave it away when the last stream was
  // freed, and the next open then returned 0, read as a failed open.
  SDL_FreeRW: function(rwopsID) {
    SDL.rwops[rwopsID] = null;
    while (SDL.rwops.length > 1 && SDL.rwops[SDL.rwops.length - 1] === null) {
      SDL.rwops.pop();
    }
  },

  // The screen is the page's canvas, so the frame is already there; the page counts frames
  // (its first one ends the loading line).
  SDL_Flip: function(surf) {
    SDL.flips = (SDL.flips || 0) + 1;
    if (Module['onFlip']) Module['onFlip'](SDL.flips);
    return 0;
  },

  // Emscripten's own, but for one listener: it ends the game on 'unload', which keeps the page
  // out of the browser's back/forward cache. 'pagehide' that is not into that cache is the
  // same end; a page kept there comes back with its game as it was.
  SDL_Init__deps: ['$zeroMemory', 'malloc'],
  SDL_Init: function(initFlags) {
    SDL.startTime = Date.now();
    SDL.initFlags = initFlags;
    var keys = Module['keyboardListeningElement'] || document;
    ['keydown', 'keyup', 'keypress'].forEach(function(type) {
      keys.addEventListener(type, SDL.receiveEvent);
    });
    window.addEventListener('focus', SDL.receiveEvent);
    window.addEventListener('blur', SDL.receiveEvent);
    document.addEventListener('visibilitychange', SDL.receiveEvent);
    SDL.pageHidden = SDL.pageHidden || function(event) {
      if (!event.persisted) SDL.receiveEvent({ type: 'unload' });
    };
    window.addEventListener('pagehide', SDL.pageHidden);
    // Kept for a game started again on the same page.
    SDL.keyboardState = SDL.keyboardState || _malloc(0x10000);
    zeroMemory(SDL.keyboardState, 0x10000);
    var types = { keydown: 0x300, keyup: 0x301, keypress: 0x303, mousedown: 0x401,
      mouseup: 0x402, mousemove: 0x400, wheel: 0x403, touchstart: 0x700, touchend: 0x701,
      touchmove: 0x702, unload: 0x100 /* SDL_QUIT */, resize: 0x7001, visibilitychange: 0x200,
      focus: 0x200, blur: 0x200 };
    Object.keys(types).forEach(function(type) { SDL.DOMEventToSDLEvent[type] = types[type]; });
    return 0;
  },

  // Ending video stops the input: the listeners SDL_Init and SDL_SetVideoMode put on the page
  // go, so that after the game the page's keys and clicks are the page's again.
  SDL_QuitSubSystem: function(flags) {
    if (!(flags & 0x20 /* SDL_INIT_VIDEO */)) return;
    var keys = Module['keyboardListeningElement'] || document;
    ['keydown', 'keyup', 'keypress'].forEach(function(type) {
      keys.removeEventListener(type, SDL.receiveEvent);
    });
    window.removeEventListener('focus', SDL.receiveEvent);
    window.removeEventListener('blur', SDL.receiveEvent);
    window.removeEventListener('pagehide', SDL.pageHidden);
    document.removeEventListener('visibilitychange', SDL.receiveEvent);
    ['touchstart', 'touchend', 'touchmove', 'mousedown', 'mouseup', 'mousemove', 'DOMMouseScroll',
     'mousewheel', 'wheel', 'mouseout'].forEach(function(type) {
      Module['canvas'].removeEventListener(type, SDL.receiveEvent, true);
    });
    SDL.events = [];
  },

  SDL_Quit__deps: ['SDL_QuitSubSystem'],
  SDL_Quit: function() {
    _SDL_QuitSubSystem(0xffff);
  },
});

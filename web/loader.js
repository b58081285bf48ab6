// The page's side of the game: the scale, the Peek control, the messages a player reads,
// and the order in which the game's files are loaded and started.
(function() {
  var canvas = document.getElementById('canvas');
  var game = document.getElementById('game');
  var statusBox = document.getElementById('status');
  var statusText = document.getElementById('status-text');
  var progress = document.getElementById('progress');
  var started = false;

  // One bar over every file the game needs, counted in the bytes a script reads (what a host's
  // compression decodes to) against the sizes the build wrote, so it is right with or without
  // compression. The game's start is its last part: the bar is full only when the game is on.
  var sizes = JSON.parse(progress.getAttribute('data-sizes') || '{}');
  var arrivedBytes = {};
  var total = Object.keys(sizes).reduce(function(sum, name) { return sum + sizes[name]; }, 0);
  if (total) {
    progress.max = total + Math.ceil(total / 20);
    progress.value = 0;
  }
  function arrived(name, bytes) {
    if (!total || !sizes[name] || started) return;
    arrivedBytes[name] = Math.min(bytes, sizes[name]);
    progress.value = Object.keys(arrivedBytes).reduce(function(sum, file) {
      return sum + arrivedBytes[file];
    }, 0);
  }

  // The loading line waits a moment: where the game starts at once it would only flash, and
  // laying out its text and bar would hold the game's start back by several milliseconds.
  setTimeout(function() {
    if (!started) statusBox.hidden = false;
  }, 250);

  // Without a secure origin the browser gives the page no service worker and no install.
  if (!window.isSecureContext) document.getElementById('insecure').hidden = false;

  function fail(sentence) {
    statusText.textContent = sentence;
    progress.hidden = true;
    statusBox.hidden = false;
    game.hidden = true;
  }

  // The game's size is counted in device pixels: the largest whole number of them per game
  // pixel that fits, so that every game pixel is the same square on a phone and at a desktop's
  // 125% alike. A narrow or upright screen takes the controls under the game, where they leave
  // it more room; others beside it.
  function fit() {
    var ratio = window.devicePixelRatio || 1;
    var controls = document.getElementById('controls');
    var width = document.documentElement.clientWidth - 24;
    var height = window.innerHeight - 24;
    ['note', 'insecure'].forEach(function(id) {
      var line = document.getElementById(id);
      if (!line.hidden) height -= line.offsetHeight + 12;
    });
    game.classList.remove('below');
    var beside = devicePixelsPerGamePixel(width - 12 - controls.offsetWidth, height, ratio);
    game.classList.add('below');
    var below = devicePixelsPerGamePixel(width, height - 12 - controls.offsetHeight, ratio);
    var under = height > width || below > beside;
    game.classList.toggle('below', under);
    var pixels = under ? below : beside;
    var style = document.documentElement.style;
    style.setProperty('--width', 256 * pixels / ratio + 'px');
    style.setProperty('--height', 240 * pixels / ratio + 'px');
  }

  function devicePixelsPerGamePixel(width, height, ratio) {
    return Math.max(1, Math.floor(Math.min(width * ratio / 256, height * ratio / 240)));
  }

  // Sized when the game first shows (onFlip): a layout forced here, while the page is still
  // loading, would only hold the game's start back.
  window.addEventListener('resize', fit);

  // A window moved to a screen of another density changes the ratio without a resize.
  function watchRatio() {
    var query = window.matchMedia &&
      window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
    if (!query || !query.addEventListener) return;
    query.addEventListener('change', function() { fit(); watchRatio(); }, { once: true });
  }
  watchRatio();

  // Emscripten's SDL cancels the browser's own use of every key on the element it listens to.
  // It listens to a stand-in that hears only the key the game uses, Escape, so that Tab, F5,
  // F11, the zoom keys and the browser's shortcuts stay the browser's, and Tab reaches Peek.
  function gameKeys() {
    var listeners = [];
    function hear(event) {
      if (event.key !== 'Escape' && event.keyCode !== 27) return;
      listeners.forEach(function(listener) {
        if (listener.type === event.type) listener.handle(event);
      });
    }
    document.addEventListener('keydown', hear);
    document.addEventListener('keyup', hear);
    return {
      addEventListener: function(type, handle) { listeners.push({ type: type, handle: handle }); },
      removeEventListener: function(type, handle) {
        listeners = listeners.filter(function(listener) {
          return listener.type !== type || listener.handle !== handle;
        });
      }
    };
  }

  // Full screen, where the browser lets a page have it (not every phone's browser does).
  function offerFullScreen() {
    var button = document.getElementById('fullscreen');
    var root = document.documentElement;
    if (!document.fullscreenEnabled || !root.requestFullscreen) return;
    button.hidden = false;
    button.addEventListener('click', function() {
      if (document.fullscreenElement) {
        document.exitFullscreen();
      } else {
        root.requestFullscreen().catch(function() { /* refused: the page stays as it is */ });
      }
    });
    document.addEventListener('fullscreenchange', function() {
      button.setAttribute('aria-pressed', document.fullscreenElement ? 'true' : 'false');
    });
  }
  offerFullScreen();

  // The right button peeks; the browser's own menu, or a long press's, would cover the game.
  game.addEventListener('contextmenu', function(event) { event.preventDefault(); });

  // SDL presses at the touch without moving the pointer there first; the game takes a press
  // where the pointer last moved. A motion to the touch comes first, as a mouse would make.
  // Passive: the touch itself goes on to SDL, which decides what the browser may do with it.
  game.addEventListener('touchstart', function(event) {
    var touch = event.changedTouches[0];
    if (event.target === canvas && touch) {
      canvas.dispatchEvent(new MouseEvent('mousemove',
        { clientX: touch.clientX, clientY: touch.clientY, bubbles: true }));
    }
  }, { capture: true, passive: true });

  document.getElementById('peek').addEventListener('click', function() {
    var box = canvas.getBoundingClientRect();
    var at = { button: 2, clientX: box.left + 1, clientY: box.top + 1, bubbles: true };
    canvas.dispatchEvent(new MouseEvent('mousedown', at));
    canvas.dispatchEvent(new MouseEvent('mouseup', at));
  });
  // A new game on the files already here: main runs again, as a desktop player would start
  // the game again. The table the last game wrote is the one the new game reads.
  document.getElementById('again').addEventListener('click', function() {
    if (!started || !Module._main) {
      window.location.reload();
      return;
    }
    document.getElementById('ended').hidden = true;
    game.hidden = false;
    document.documentElement.classList.add('playing');
    fit();
    try {
      Module._main(0, 0);
    } catch (thrown) {
      // The game's loop leaves main by throwing this, as emscripten's own start does.
      if (thrown !== 'unwind') throw thrown;
    }
  });

  if (typeof WebAssembly !== 'object' || typeof DecompressionStream !== 'function') {
    fail('This browser cannot run Zandorel, which needs WebAssembly and a gzip decompressor: ' +
      'try a current browser.');
    return;
  }

  window.addEventListener('error', function() {
    if (!started) fail('Zandorel could not be loaded: its files did not arrive. Reload the page to try again.');
  });

  window.Module = {
    canvas: canvas,
    keyboardListeningElement: gameKeys(),
    // No setStatus: given one, emscripten starts the game a timer later. The bar follows the
    // files themselves (arrived).
    onScoreStorage: function(storage) {
      document.getElementById('note').hidden = storage.persistent;
      document.getElementById('unsaved').hidden = !storage.failed;
      // The lines take room from the game; before it shows, onFlip sizes it with them.
      if (started) fit();
    },
    onFlip: function(frames) {
      if (frames === 1) {
        // The game's first frame is drawn; what follows is the page's own layout around it.
        window.zandorelFirstFrame = performance.now();
        started = true;
        statusBox.hidden = true;
        game.hidden = false;
        document.documentElement.classList.add('playing');
        fit();
        progress.value = progress.max;
        keepSite();
      }
    },
    onGameEnded: function() {
      game.hidden = true;
      document.documentElement.classList.remove('playing');
      document.getElementById('ended').hidden = false;
      document.getElementById('again').focus();
    },
    onAbort: function() {
      fail('Zandorel stopped: this browser could not run it. Reload the page to try again.');
    },
    print: function(text) { console.log(text); },
    printErr: function(text) { console.warn(text); }
  };

  // The game's script comes by a tag of the page's own, after this script; it has arrived
  // when it runs (preInit, below), which may start the game before its load event.
  document.addEventListener('error', function(event) {
    if (event.target.src && /zandorel\.js$/.test(event.target.src)) {
      fail('Zandorel could not be loaded: zandorel.js did not arrive. Reload the page to try again.');
    }
  }, true);

  function damaged() {
    fail('Zandorel\'s files arrived damaged: reload the page to fetch them again.');
  }

  function hex(words) {
    return Array.prototype.map.call(words, function(byte) {
      return (byte + 0x100).toString(16).slice(1);
    }).join('');
  }

  function sha256(bytes) {
    if (window.crypto && crypto.subtle) {
      return crypto.subtle.digest('SHA-256', bytes).then(function(digest) {
        return hex(new Uint8Array(digest));
      });
    }
    return Promise.resolve(hex(sha256InScript(new Uint8Array(bytes))));
  }

  // Where the page is not a secure origin the browser has no crypto.subtle; the package is
  // checked all the same (FIPS 180-4).
  function sha256InScript(bytes) {
    var k = [], h = [], prime = 2, found = 0;
    function fraction(x) { return (x - Math.floor(x)) * 4294967296 | 0; }
    while (found < 64) {
      var isPrime = true;
      for (var d = 2; d * d <= prime; d++) if (prime % d === 0) isPrime = false;
      if (isPrime) {
        if (found < 8) h[found] = fraction(Math.pow(prime, 1 / 2));
        k[found++] = fraction(Math.pow(prime, 1 / 3));
      }
      prime++;
    }
    var length = bytes.length, blocks = ((length + 8) >> 6) + 1;
    var padded = new Uint8Array(blocks * 64);
    padded.set(bytes);
    padded[length] = 0x80;
    var view = new DataView(padded.buffer);
    view.setUint32(padded.length - 8, Math.floor(length / 0x20000000));
    view.setUint32(padded.length - 4, length * 8 >>> 0);
    var w = new Int32Array(64);
    function rotate(x, n) { return (x >>> n) | (x << (32 - n)); }
    for (var block = 0; block < blocks; block++) {
      for (var i = 0; i < 16; i++) w[i] = view.getInt32(block * 64 + i * 4);
      for (i = 16; i < 64; i++) {
        var s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ (w[i - 15] >>> 3);
        var s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ (w[i - 2] >>> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1 | 0;
      }
      var a = h[0], b = h[1], c = h[2], e = h[4], f = h[5], g = h[6], dd = h[3], hh = h[7];
      for (i = 0; i < 64; i++) {
        var t1 = hh + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25)) + ((e & f) ^ (~e & g)) +
          k[i] + w[i] | 0;
        var t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c)) | 0;
        hh = g; g = f; f = e; e = dd + t1 | 0; dd = c; c = b; b = a; a = t1 + t2 | 0;
      }
      h = [h[0] + a | 0, h[1] + b | 0, h[2] + c | 0, h[3] + dd | 0, h[4] + e | 0, h[5] + f | 0,
        h[6] + g | 0, h[7] + hh | 0];
    }
    var digest = new Uint8Array(32);
    new DataView(digest.buffer).setInt32(0, h[0]);
    for (i = 1; i < 8; i++) new DataView(digest.buffer).setInt32(i * 4, h[i]);
    return digest;
  }

  // The answer the page's head asked for early (index.html), the first time; a request of its
  // own after that.
  function early(name, options) {
    var asked = window.zandorelEarly && window.zandorelEarly[name];
    if (!asked) return fetch(name, options);
    delete window.zandorelEarly[name];
    return asked;
  }

  // A response's body, its bytes counted into the bar as they are read.
  function counted(name, response) {
    var reader = response.body.getReader(), done = 0;
    return new ReadableStream({
      pull: function(controller) {
        return reader.read().then(function(part) {
          if (part.done) return controller.close();
          done += part.value.length;
          arrived(name, done);
          controller.enqueue(part.value);
        });
      }
    });
  }

  // The data package is fetched here, unpacked as it arrives and hashed, and its files are put
  // where the game looks for them only once it has the size and the SHA-256 the build wrote into
  // the page (its table, tools/web-seal.py): a damaged package would start a game with no
  // pictures or levels. The game's start waits for the check. The package is shipped compressed
  // with gzip, so that it is small on a host that compresses nothing; the browser's own
  // decompressor unpacks it.
  function loadData() {
    var table = JSON.parse(document.getElementById('package').textContent);
    var bytes = null, held = false;
    Module.preInit = function() {
      arrived('zandorel.js', sizes['zandorel.js']);
      if (!bytes) {
        held = true;
        Module.addRunDependency('zandorel-data');
      }
    };
    Module.preRun = function() {
      // Nothing else holds the package: its files may keep their slices of it (web/page.js).
      Module.putPackage(new Uint8Array(bytes), table.files);
    };
    early('zandorel.data').then(function(response) {
      if (!response.ok) throw new Error(response.status);
      var copies = counted('zandorel.data', response).tee();
      var unpacked = new Response(copies[1].pipeThrough(new DecompressionStream('gzip')))
        .arrayBuffer();
      unpacked.catch(function() { /* answered below, or the download failed first */ });
      return new Response(copies[0]).arrayBuffer().then(function(shipped) {
        return { shipped: shipped, unpacked: unpacked };
      });
    }).then(function(arrival) {
      // The package arrived whole: whatever is wrong with it now is damage.
      Promise.all([sha256(arrival.shipped), arrival.unpacked]).then(function(found) {
        if (found[1].byteLength !== table.size || found[0] !== table.sha256) return damaged();
        bytes = found[1];
        if (held) Module.removeRunDependency('zandorel-data');
      }).catch(damaged);
    }, function() {
      fail('Zandorel could not be loaded: zandorel.data did not arrive. Reload the page to try again.');
    });
  }

  // After one visit the site is kept by a service worker (sw.js), with no network needed. A new
  // build it finds waits until this page has all its files (the game has started), then takes
  // over for the next visit.
  function keepSite() {
    if (!('serviceWorker' in navigator)) return;
    navigator.serviceWorker.register('sw.js').then(function(registration) {
      function takeOver() {
        if (registration.waiting) registration.waiting.postMessage('take-over');
      }
      takeOver();
      registration.addEventListener('updatefound', function() {
        var worker = registration.installing;
        worker.addEventListener('statechange', function() {
          if (worker.state === 'installed') takeOver();
        });
      });
    }, function(error) {
      console.warn('zandorel: the site will not be kept for a visit without the network: ' + error);
    });
  }

  // The module is compiled from the moment this script runs, beside the game's script and the
  // package, rather than once the game's script has been run; the game's script only
  // instantiates it.
  function compileGame() {
    function missing() {
      fail('Zandorel could not be loaded: zandorel.wasm did not arrive. Reload the page to try again.');
    }
    function fetched() {
      return early('zandorel.wasm', { credentials: 'same-origin' }).then(function(response) {
        if (!response.ok || !response.body) return response;
        return new Response(counted('zandorel.wasm', response),
          { status: response.status, headers: response.headers });
      });
    }
    // A server that does not call it application/wasm can only have it compiled from its bytes.
    function fromBytes() {
      return fetched().then(function(response) {
        if (!response.ok) throw new Error(response.status);
        return response.arrayBuffer();
      }).then(function(bytes) { return WebAssembly.compile(bytes); });
    }
    var compiled = WebAssembly.compileStreaming ?
      WebAssembly.compileStreaming(fetched()).catch(fromBytes) : fromBytes();
    // Made at once from the compiled module, not by the asynchronous instantiate: the game
    // starts in this task rather than after whatever the page queued meanwhile (about 5 ms).
    Module.instantiateWasm = function(imports, receive) {
      compiled.then(function(module) {
        var instance;
        try {
          instance = new WebAssembly.Instance(module, imports);
        } catch (error) {
          return missing();
        }
        receive(instance, module);
      }, missing);
      return {};
    };
  }

  compileGame();
  loadData();
})();

// The page's side of the game: the scale, the Peek control, the messages a player reads,
// and the order in which the game's files are loaded and started.
(function() {
  var canvas = document.getElementById('canvas');
  var game = document.getElementById('game');
  var statusBox = document.getElementById('status');
  var statusText = document.getElementById('status-text');
  var progress = document.getElementById('progress');
  var started = false;

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
    var note = document.getElementById('note');
    var width = document.documentElement.clientWidth - 24;
    var height = window.innerHeight - 24 - (note.hidden ? 0 : note.offsetHeight + 12);
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

  window.addEventListener('resize', fit);
  fit();

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
  game.addEventListener('touchstart', function(event) {
    var touch = event.changedTouches[0];
    if (event.target === canvas && touch) {
      canvas.dispatchEvent(new MouseEvent('mousemove',
        { clientX: touch.clientX, clientY: touch.clientY, bubbles: true }));
    }
  }, true);

  document.getElementById('peek').addEventListener('click', function() {
    var box = canvas.getBoundingClientRect();
    var at = { button: 2, clientX: box.left + 1, clientY: box.top + 1, bubbles: true };
    canvas.dispatchEvent(new MouseEvent('mousedown', at));
    canvas.dispatchEvent(new MouseEvent('mouseup', at));
  });
  document.getElementById('again').addEventListener('click', function() {
    window.location.reload();
  });

  if (typeof WebAssembly !== 'object') {
    fail('This browser cannot run WebAssembly, which Zandorel needs: try a current browser.');
    return;
  }

  window.addEventListener('error', function() {
    if (!started) fail('Zandorel could not be loaded: its files did not arrive. Reload the page to try again.');
  });

  window.Module = {
    canvas: canvas,
    keyboardListeningElement: gameKeys(),
    // No setStatus: given one, emscripten starts the game a timer later. The bar follows the
    // package's download (readShowingProgress), which is most of what there is to wait for.
    onScoreStorage: function(storage) {
      document.getElementById('note').hidden = storage.persistent;
      document.getElementById('unsaved').hidden = !storage.failed;
      fit();
    },
    onFlip: function(frames) {
      if (frames === 1) {
        started = true;
        statusBox.hidden = true;
        game.hidden = false;
        document.documentElement.classList.add('playing');
        fit();
        window.zandorelFirstFrame = performance.now();
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

  function addScript(source, loaded) {
    var script = document.createElement('script');
    script.src = source;
    script.async = false;
    script.onload = loaded || null;
    script.onerror = function() {
      fail('Zandorel could not be loaded: ' + source + ' did not arrive. Reload the page to try again.');
    };
    document.body.appendChild(script);
  }

  function damaged() {
    fail('Zandorel\'s files arrived damaged: reload the page to fetch them again.');
  }

  function sha256(bytes) {
    return crypto.subtle.digest('SHA-256', bytes).then(function(digest) {
      return Array.prototype.map.call(new Uint8Array(digest), function(byte) {
        return (byte + 0x100).toString(16).slice(1);
      }).join('');
    });
  }

  // The package is most of the download: the bar shows how much of it has come.
  function readShowingProgress(response) {
    var total = Number(response.headers.get('Content-Length'));
    if (!response.body || !total) return response.arrayBuffer();
    var reader = response.body.getReader(), parts = [], done = 0;
    progress.max = total;
    return (function next() {
      return reader.read().then(function(part) {
        if (part.done) return new Blob(parts).arrayBuffer();
        parts.push(part.value);
        done += part.value.length;
        progress.value = Math.min(done, total);
        return next();
      });
    })();
  }

  // The data package is fetched here and handed to its loader (zandorel-data.js) only once it
  // has the size that loader expects and the SHA-256 the build wrote into it: a damaged package
  // would start a game with no pictures or levels. The game's start waits for the check.
  function loadData() {
    var checked = false, held = false;
    Module.preInit = function() {
      if (!checked) {
        held = true;
        Module.addRunDependency('zandorel-data');
      }
    };
    fetch('zandorel.data').then(function(response) {
      if (!response.ok) throw new Error(response.status);
      return readShowingProgress(response);
    }).then(function(bytes) {
      var size = null;
      Module.getPreloadedPackage = function(name, expected) {
        size = expected;
        return bytes;
      };
      // Hashed while its loader's script is fetched and run, not after.
      var hashed = window.crypto && crypto.subtle ? sha256(bytes) : Promise.resolve(null);
      addScript('zandorel-data.js', function() {
        var sum = Module.dataPackageSha256;
        hashed.then(function(found) {
          if (bytes.byteLength !== size || (sum && found !== null && found !== sum)) return damaged();
          checked = true;
          if (held) Module.removeRunDependency('zandorel-data');
        }, damaged);
      });
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
      return fetch('zandorel.wasm', { credentials: 'same-origin' });
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
    Module.instantiateWasm = function(imports, receive) {
      var module;
      compiled.then(function(compiledModule) {
        module = compiledModule;
        return WebAssembly.instantiate(module, imports);
      }).then(function(instance) { receive(instance, module); }, missing);
      return {};
    };
  }

  compileGame();
  loadData();
  addScript('zandorel.js');
})();

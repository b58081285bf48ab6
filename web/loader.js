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

  // The largest whole-number scale that fits, so that every game pixel is a square of the
  // same size.
  function fit() {
    var room = Math.min((window.innerWidth - 24 - 100) / 256, (window.innerHeight - 24) / 240);
    var scale = Math.max(1, Math.floor(room));
    if (scale * 256 > window.innerWidth) scale = 1;
    document.documentElement.style.setProperty('--scale', scale);
  }
  window.addEventListener('resize', fit);
  fit();

  // The right button peeks; the browser's own menu would cover the game.
  canvas.addEventListener('contextmenu', function(event) { event.preventDefault(); });

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
    // Emscripten reports its downloads as "... (done/total)".
    setStatus: function(text) {
      var parts = /\((\d+(\.\d+)?)\/(\d+)\)/.exec(text || '');
      if (parts) {
        progress.max = Number(parts[3]);
        progress.value = Number(parts[1]);
      }
    },
    onScoreStorage: function(persistent) {
      document.getElementById('note').hidden = persistent;
    },
    onFlip: function(frames) {
      if (frames === 1) {
        started = true;
        statusBox.hidden = true;
        game.hidden = false;
        fit();
        window.zandorelFirstFrame = performance.now();
      }
    },
    onGameEnded: function() {
      game.hidden = true;
      document.getElementById('ended').hidden = false;
      document.getElementById('again').focus();
    },
    onAbort: function() {
      fail('Zandorel stopped: this browser could not run it. Reload the page to try again.');
    },
    print: function(text) { console.log(text); },
    printErr: function(text) { console.warn(text); }
  };

  // Downloaded side by side, run in this order: the data package registers its download
  // with the game's start-up.
  ['zandorel-data.js', 'zandorel.js'].forEach(function(source) {
    var script = document.createElement('script');
    script.src = source;
    script.async = false;
    script.onerror = function() {
      fail('Zandorel could not be loaded: ' + source + ' did not arrive. Reload the page to try again.');
    };
    document.body.appendChild(script);
  });
})();

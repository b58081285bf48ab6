// What the page adds around the game: the data package's files put in place, the high-score
// table kept in the browser's IndexedDB and shared with the site's other tabs, and word to the
// page when the game has ended.
//
// The game reads and rewrites ./data/highscores.txt in memory. The table it reads is the stored
// one: the store is read as the script loads, and the game's input waits until it has answered
// (every read of the table follows the player's input), so the start waits for nothing. A
// rewrite is reported by the game's file replacement (src/FileReplaceBrowser.cpp) and saved at
// once, and the game's screen asks whether the save held (the win and the loss announce a high
// score only once it has). Another tab may have saved since this one loaded: a save then puts the scores this tab
// added into the newer table, in one transaction, rather than write its own older copy over it;
// and a tab that saves tells the others, which load the table again.
mergeInto(LibraryManager.library, {
  // The package's files where the game looks for them, each [path, start, end] in bytes (the
  // page's loader calls this just before the game's runtime starts). Each file keeps its slice
  // of the package as its contents, as emscripten's own packer has the file system keep it, but
  // without a stream opened, written and closed for every file: that took about 4 ms of a cold
  // start.
  $ZandorelPackage__deps: ['$FS', '$PATH'],
  $ZandorelPackage__postset: "Module['putPackage'] = ZandorelPackage;",
  $ZandorelPackage: function(bytes, files) {
    var folders = {};
    files.forEach(function(file) {
      var folder = PATH.dirname(file[0]);
      if (!folders[folder]) {
        FS.mkdirTree(folder);
        folders[folder] = true;
      }
      var node = FS.create(file[0], FS.getMode(true, true));
      node.contents = bytes.subarray(file[1], file[2]);
      node.usedBytes = file[2] - file[1];
    });
  },

  $ZandorelScores__deps: ['$FS'],
  $ZandorelScores__postset: 'ZandorelScores.open(); addOnPreMain(ZandorelScores.arrived);',
  $ZandorelScores: {
    table: '/data/highscores.txt',
    // Where earlier builds kept the table (emscripten's IDBFS, for the folder /scores), so that
    // a player's scores carry over.
    database: '/scores',
    version: 21,
    store: 'FILE_DATA',
    key: '/scores/highscores.txt',
    // A store that takes longer than this is not waited for: the game plays on without it.
    patience: 3000,
    db: null,
    waiting: true, // the game's input waits for the stored table
    started: false, // the data package is in the file system
    early: null, // the stored table, when it came before the data package
    base: null, // the stored table this tab's copy was made from
    changed: false, // the game rewrote the table since base
    busy: false,
    again: false,
    channel: null,
    rewrites: 0, // the game's rewrites of the table so far
    kept: 0, // how many of them the store is known to hold
    lost: 0, // how many of them a failed save left unsaved
    why: '', // what that save's failure was

    // What the page and its tests can see.
    report: function() {
      Module['scoreStorage'] = Module['scoreStorage'] ||
          { persistent: false, saved: 0, saving: false, failed: false, loaded: 0 };
      return Module['scoreStorage'];
    },

    tell: function() {
      if (Module['onScoreStorage']) Module['onScoreStorage'](ZandorelScores.report());
    },

    open: function() {
      var S = ZandorelScores;
      S.report();
      var timer = setTimeout(S.giveUp, S.patience);
      var request;
      try {
        request = indexedDB.open(S.database, S.version);
      } catch (e) {
        // No IndexedDB, or storage blocked (some browsers throw on the very name).
        clearTimeout(timer);
        S.giveUp();
        return;
      }
      request.onupgradeneeded = function() {
        var db = request.result;
        var store = db.objectStoreNames.contains(S.store) ?
            request.transaction.objectStore(S.store) : db.createObjectStore(S.store);
        if (!store.indexNames.contains('timestamp')) {
          store.createIndex('timestamp', 'timestamp', { unique: false });
        }
      };
      request.onerror = function(event) {
        event.preventDefault();
        clearTimeout(timer);
        S.giveUp();
      };
      request.onsuccess = function() {
        clearTimeout(timer);
        if (!S.waiting) {
          request.result.close(); // too late: this visit goes on without the store
          return;
        }
        S.db = request.result;
        S.db.onversionchange = function() { S.db.close(); };
        S.report().persistent = true;
        S.listen();
        S.sync();
      };
    },

    // The store refused or did not answer: the table lasts this visit.
    giveUp: function() {
      var S = ZandorelScores;
      if (!S.waiting || S.db) return;
      S.waiting = false;
      S.report().persistent = false;
      S.tell();
    },

    listen: function() {
      var S = ZandorelScores;
      document.addEventListener('visibilitychange', function() {
        if (document.visibilityState == 'hidden') {
          if (S.changed) S.sync();
        } else {
          S.reload();
        }
      });
      if (typeof BroadcastChannel == 'function') {
        S.channel = new BroadcastChannel('zandorel-scores');
        S.channel.onmessage = S.reload;
      }
    },

    // Another tab saved, or this one comes back to the front: the game's next read waits for
    // the stored table.
    reload: function() {
      var S = ZandorelScores;
      if (!S.db) return;
      S.waiting = true;
      S.sync();
    },

    // Runs once every file has arrived, just before main.
    arrived: function() {
      var S = ZandorelScores;
      S.started = true;
      S.base = S.local();
      if (S.early !== null) S.adopt(S.early);
    },

    local: function() {
      try {
        return FS.readFile(ZandorelScores.table, { encoding: 'utf8' });
      } catch (e) {
        return null;
      }
    },

    adopt: function(text) {
      if (ZandorelScores.local() !== text) FS.writeFile(ZandorelScores.table, text);
      ZandorelScores.base = text;
    },

    // The scores mine added to base, put into stored by the game's own rule
    // (HighScoreTable::merged, exported by src/HighScoreTableBrowser.cpp): each text goes into a
    // file of the game's memory, to be read as the game reads its table. keptAll says whether
    // the merged table holds every score mine added.
    keptAll: true,
    merge: function(stored, base, mine) {
      var paths = [['stored', stored], ['base', base], ['mine', mine]].map(function(copy) {
        var path = '/tmp/zandorel-' + copy[0] + '.txt';
        FS.writeFile(path, copy[1] || '');
        return path;
      });
      try {
        var merged = ccall('zandorel_merge_tables', 'string', ['string', 'string', 'string'], paths);
        ZandorelScores.keptAll = ccall('zandorel_merge_kept_all', 'number', [], []) !== 0;
        return merged;
      } finally {
        paths.forEach(function(path) { FS.unlink(path); });
      }
    },

    // One transaction on the table's record. done(error) comes once, whether it completes,
    // aborts (a full store), throws or never answers, so that no save waits behind a lost one.
    transact: function(mode, work, done) {
      var S = ZandorelScores, finished = false;
      var timer = setTimeout(function() { end('the store did not answer'); }, S.patience);
      function end(error) {
        if (finished) return;
        finished = true;
        clearTimeout(timer);
        done(error);
      }
      try {
        var transaction = S.db.transaction([S.store], mode);
        transaction.oncomplete = function() { end(null); };
        transaction.onabort = function() { end(transaction.error || 'aborted'); };
        work(transaction.objectStore(S.store));
      } catch (e) {
        end(e);
      }
    },

    // Brings this tab's table and the stored one together: what the game changed here goes into
    // the stored table, and the stored table becomes this tab's. One at a time; a request during
    // one runs after it.
    sync: function() {
      var S = ZandorelScores, state = S.report();
      if (!S.db) return;
      if (S.busy) {
        S.again = true;
        return;
      }
      S.busy = state.saving = true;
      var mine = S.changed ? S.local() : null;
      var rewrites = S.rewrites; // those mine holds
      var stored = null, result = null, wrote = false;
      S.keptAll = true;
      S.transact(mine === null ? 'readonly' : 'readwrite', function(store) {
        var get = store.get(S.key);
        get.onsuccess = function() {
          var record = get.result;
          stored = record ? new TextDecoder().decode(record['contents']) : null;
          result = stored;
          if (mine === null) return;
          result = stored === null || stored === S.base ? mine : S.merge(stored, S.base, mine);
          if (result === stored) return;
          wrote = true;
          store.put({ 'timestamp': new Date(), 'mode': 33206,
                      'contents': new TextEncoder().encode(result) }, S.key);
        };
      }, function(error) {
        S.busy = state.saving = false;
        if (error) {
          err('zandorel: the table could not be read or saved: ' + error);
          if (mine !== null) {
            state.failed = true;
            S.lost = rewrites;
            S.why = String(error);
          }
          if (!state.loaded) {
            S.db = null;
            S.giveUp();
          }
        } else {
          S.settle(mine, result);
          state.loaded++;
          if (mine !== null && S.keptAll) {
            S.kept = rewrites;
          } else if (mine !== null) {
            // Another tab's higher scores came first: the store holds the table, not this score.
            S.lost = rewrites;
            S.why = 'another tab saved higher scores first';
          }
          if (wrote) {
            state.saved++;
            state.failed = false;
            if (S.channel) S.channel.postMessage('saved');
          }
        }
        if (S.again) {
          S.again = false;
          S.sync();
          return;
        }
        S.waiting = false;
        S.tell();
      });
    },

    settle: function(mine, result) {
      var S = ZandorelScores;
      if (!S.started) {
        S.early = result;
        return;
      }
      var now = S.local();
      if (mine === null ? S.changed : now !== mine) {
        // The game rewrote the table during the sync: its change goes in with the next one.
        if (mine !== null) S.base = mine;
        S.again = true;
        return;
      }
      S.changed = false;
      if (result !== null) S.adopt(result);
    },
  },

  zandorel_file_replaced__deps: ['$ZandorelScores'],
  zandorel_file_replaced: function(path) {
    var S = ZandorelScores;
    if (FS.lookupPath(UTF8ToString(path)).path !== S.table) return;
    S.rewrites++;
    S.changed = true;
    S.sync();
  },

  // Whether the store holds the game's last rewrite of the table: 1 it does, -1 it could not be
  // saved (why written into the game's buffer), 0 not known yet. Every save answers within the
  // store's patience, so the game never waits for ever; without a store none ever will.
  zandorel_replacement_lasts__deps: ['$ZandorelScores'],
  zandorel_replacement_lasts: function(why, size) {
    var S = ZandorelScores;
    if (S.kept >= S.rewrites) return 1;
    if (S.lost < S.rewrites && S.db) return 0;
    stringToUTF8(S.lost >= S.rewrites ? S.why : 'this browser does not let the page keep them',
                 why, size);
    return -1;
  },

  // Every build of the page calls this: it brings in the package's placing too.
  zandorel_input_waits__deps: ['$ZandorelScores', '$ZandorelPackage'],
  zandorel_input_waits: function() {
    return ZandorelScores.waiting ? 1 : 0;
  },

  zandorel_game_ended__deps: ['$ZandorelScores'],
  zandorel_game_ended: function() {
    if (ZandorelScores.changed) ZandorelScores.sync();
    if (Module['onGameEnded']) Module['onGameEnded']();
  },
});

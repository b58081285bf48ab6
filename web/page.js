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
    seen: null, // this tab's table as the page last saw it
    newest: null, // the game's last rewrite of the table, as save() describes it
    saves: null, // the last save asked for: each runs once the one before is over
    next: null, // the save asked for that has not started yet
    channel: null,

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
        S.request();
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
          if (S.unsaved()) S.request();
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
      S.request();
    },

    // Runs once every file has arrived, just before main.
    arrived: function() {
      var S = ZandorelScores;
      S.started = true;
      S.base = S.seen = S.local();
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
      ZandorelScores.base = ZandorelScores.seen = text;
    },

    // Whether the game's table holds scores the stored one was not given yet.
    unsaved: function() {
      return ZandorelScores.started && ZandorelScores.local() !== ZandorelScores.base;
    },

    // Calls fn with the game's own paths of texts, each put into a file of the game's memory to
    // be read as the game reads its table.
    withFiles: function(texts, fn) {
      var paths = texts.map(function(text, i) {
        var path = '/tmp/zandorel-' + i + '.txt';
        FS.writeFile(path, text || '');
        return path;
      });
      try {
        return fn(paths);
      } finally {
        paths.forEach(function(path) { FS.unlink(path); });
      }
    },

    // The scores mine added to base, put into stored by the game's own rule
    // (HighScoreTable::merged, exported by src/HighScoreTableBrowser.cpp).
    merge: function(stored, base, mine) {
      if (stored === null || stored === base) return mine;
      return ZandorelScores.withFiles([stored, base, mine], function(paths) {
        return ccall('zandorel_merge_tables', 'string', ['string', 'string', 'string'], paths);
      });
    },

    // Whether the table a save left holds the score the rewrite added, counted once more than
    // the table it found (HighScoreTable::keeps): an older score of this tab that fell off
    // says nothing of a newer one.
    keeps: function(save) {
      var texts = [save.result, save.stored, save.rewrite.before, save.rewrite.after];
      return ZandorelScores.withFiles(texts, function(paths) {
        return ccall('zandorel_keeps', 'number', ['string', 'string', 'string', 'string'],
                     paths) !== 0;
      });
    },

    // One transaction on the table's record. done(error) comes once: when it completes, aborts
    // (a full store) or throws. One the store has not answered within its patience is aborted,
    // so that it cannot land after its answer, and told as not done; one the browser is already
    // committing then cannot be aborted, and answers when the browser says how it ended, since
    // a write the store holds must never be told lost.
    transact: function(mode, work, done) {
      var S = ZandorelScores, heard = false, transaction = null;
      function end(error) {
        if (heard) return;
        heard = true;
        clearTimeout(timer);
        done(error);
      }
      var timer = setTimeout(function() {
        try {
          transaction.abort();
        } catch (e) {
          if (e && e.name == 'InvalidStateError') return;
        }
        end('the store did not answer');
      }, S.patience);
      try {
        transaction = S.db.transaction([S.store], mode);
        transaction.oncomplete = function() { end(null); };
        transaction.onabort = function() { end(transaction.error || 'aborted'); };
        work(transaction.objectStore(S.store));
      } catch (e) {
        end(e);
      }
    },

    // Asks for a save: the saves run one at a time, and one asked for while another runs
    // starts after it, taking whatever the game changed by then.
    request: function() {
      var S = ZandorelScores;
      if (!S.db || S.next) return;
      var next = S.next = (S.saves || Promise.resolve()).then(function() {
        S.next = null;
        return new Promise(S.save);
      });
      S.saves = next;
    },

    // Brings this tab's table and the stored one together: the scores the game added here since
    // base go into the stored table, and the stored table becomes this tab's. Everything this
    // save knows is its own: what it found, what it wrote, and the rewrite whose answer it gives.
    save: function(over) {
      var S = ZandorelScores, state = S.report();
      var save = {
        mine: S.unsaved() ? S.local() : null, // null: nothing to add, a read
        base: S.base,
        // The game's last rewrite, when this save is the first to carry it.
        rewrite: S.unsaved() && S.newest && S.newest.answer === null ? S.newest : null,
        stored: null,
        result: null,
        wrote: false,
      };
      if (!S.db) {
        over(); // given up since it was asked for: the game is told so
        return;
      }
      state.saving = true;
      S.transact(save.mine === null ? 'readonly' : 'readwrite', function(store) {
        var get = store.get(S.key);
        get.onsuccess = function() {
          var record = get.result;
          save.stored = record ? new TextDecoder().decode(record['contents']) : null;
          save.result = save.mine === null ? save.stored :
              S.merge(save.stored, save.base, save.mine);
          if (save.result === save.stored) return;
          save.wrote = true;
          store.put({ 'timestamp': new Date(), 'mode': 33206,
                      'contents': new TextEncoder().encode(save.result) }, S.key);
        };
      }, function(error) {
        state.saving = false;
        if (error) {
          err('zandorel: the table could not be read or saved: ' + error);
          if (save.mine !== null) state.failed = true;
          S.answered(save, String(error));
          if (!state.loaded) {
            S.db = null;
            S.giveUp();
          }
        } else {
          S.settle(save);
          state.loaded++;
          // Another tab's higher scores may have come first: the store holds the table, not
          // this score.
          S.answered(save, !save.rewrite || S.keeps(save) ? null :
                     'another tab saved higher scores first');
          if (save.wrote) {
            state.saved++;
            state.failed = false;
            if (S.channel) S.channel.postMessage('saved');
          }
        }
        if (!S.next) {
          S.waiting = false;
          S.tell();
        }
        over();
      });
    },

    // The answer for the rewrite a save carried: null kept, else why it is not.
    answered: function(save, why) {
      if (!save.rewrite) return;
      save.rewrite.answer = why === null ? 'kept' : 'lost';
      save.rewrite.why = why;
    },

    settle: function(save) {
      var S = ZandorelScores;
      if (!S.started) {
        S.early = save.result;
        return;
      }
      if (S.local() !== (save.mine === null ? save.base : save.mine)) {
        // The game rewrote the table during the save: its change goes in with the next one.
        if (save.mine !== null) S.base = save.mine;
        S.request();
        return;
      }
      if (save.result !== null) S.adopt(save.result);
    },
  },

  zandorel_file_replaced__deps: ['$ZandorelScores'],
  zandorel_file_replaced: function(path) {
    var S = ZandorelScores;
    if (FS.lookupPath(UTF8ToString(path)).path !== S.table) return;
    var after = S.local();
    S.newest = { before: S.seen, after: after, answer: null, why: '' };
    S.seen = after;
    S.request();
  },

  // Whether the store holds the game's last rewrite of the table: 1 it does, -1 it could not be
  // saved (why written into the game's buffer), 0 not known yet. A save answers within the
  // store's patience, or within two when it waits behind another; only a write the browser is
  // already committing when the patience runs out answers later, when the browser says how it
  // ended. Without a store none ever will.
  zandorel_replacement_lasts__deps: ['$ZandorelScores'],
  zandorel_replacement_lasts: function(why, size) {
    var newest = ZandorelScores.newest;
    if (!newest || newest.answer == 'kept') return 1;
    if (newest.answer === null && ZandorelScores.db) return 0;
    stringToUTF8(newest.answer ? newest.why : 'this browser does not let the page keep them',
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
    if (ZandorelScores.unsaved()) ZandorelScores.request();
    if (Module['onGameEnded']) Module['onGameEnded']();
  },
});

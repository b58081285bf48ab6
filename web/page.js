// What the page adds around the game: the high-score table kept in the browser's IndexedDB,
// and word to the page when the game has ended.
//
// The game reads and rewrites ./data/highscores.txt beside its levels. That name becomes a
// link into /scores, a folder kept in IndexedDB; the game's own rewrite (a new file renamed
// over the table, through the link) then lands there unchanged, and every write is flushed.
// Without IndexedDB /scores is an ordinary folder: the game plays, the scores last the visit.
mergeInto(LibraryManager.library, {
  $ZandorelScores__deps: ['$FS', '$IDBFS'],
  // Storage is opened as the script loads, beside the WebAssembly's compile rather than after it.
  $ZandorelScores__postset: 'ZandorelScores.mount(); addOnPreMain(ZandorelScores.link);',
  $ZandorelScores: {
    folder: '/scores',
    table: '/data/highscores.txt',
    saving: false,
    again: false,

    // What the page and its tests can see: whether the table is kept, and how many flushes
    // have finished.
    report: function() {
      Module['scoreStorage'] = Module['scoreStorage'] || { persistent: false, saved: 0, saving: false };
      return Module['scoreStorage'];
    },

    mount: function() {
      var folder = ZandorelScores.folder;
      FS.mkdir(folder);
      ZandorelScores.watchWrites();
      var available = false;
      try {
        available = typeof indexedDB != 'undefined' && !!indexedDB;
      } catch (e) {
        // Some browsers throw on the very name where storage is blocked.
      }
      if (!available) {
        ZandorelScores.kept(false);
        return;
      }
      addRunDependency('zandorel-scores');
      try {
        FS.mount(IDBFS, {}, folder);
      } catch (e) {
        ZandorelScores.kept(false);
        removeRunDependency('zandorel-scores');
        return;
      }
      FS.syncfs(true, function(error) {
        if (error) {
          // Storage refused (a private window, a blocked site): the folder stays in memory.
          try { FS.unmount(folder); } catch (e) { /* never mounted as far as FS knows */ }
          ZandorelScores.kept(false);
        } else {
          ZandorelScores.kept(true);
        }
        removeRunDependency('zandorel-scores');
      });
    },

    kept: function(persistent) {
      ZandorelScores.report().persistent = persistent;
      if (Module['onScoreStorage']) Module['onScoreStorage'](persistent);
    },

    // Runs once every file has arrived, just before main: a player's first visit starts from
    // the shipped table.
    link: function() {
      var table = ZandorelScores.table;
      var kept = ZandorelScores.folder + '/highscores.txt';
      var shipped = FS.analyzePath(table);
      if (!FS.analyzePath(kept).exists) {
        FS.writeFile(kept, shipped.exists ? FS.readFile(table) : new Uint8Array(0));
        ZandorelScores.flush();
      }
      if (shipped.exists) FS.unlink(table);
      FS.symlink(kept, table);
    },

    inFolder: function(path) {
      return typeof path == 'string' && path.indexOf(ZandorelScores.folder + '/') === 0;
    },

    // The table is written by a rename into /scores, or in place through the link where no new
    // file can be made; either way the flush follows the write.
    watchWrites: function() {
      var rename = FS.rename;
      FS.rename = function(from, to) {
        rename(from, to);
        if (ZandorelScores.inFolder(FS.lookupPath(to).path)) ZandorelScores.flush();
      };
      var close = FS.close;
      FS.close = function(stream) {
        var written = (stream.flags & 3) !== 0 && stream.node &&
            ZandorelScores.inFolder(FS.getPath(stream.node));
        close(stream);
        if (written) ZandorelScores.flush();
      };
      document.addEventListener('visibilitychange', function() {
        if (document.visibilityState == 'hidden') ZandorelScores.flush();
      });
    },

    // One flush at a time; writes during a flush are caught by one more.
    flush: function() {
      var state = ZandorelScores.report();
      if (!state.persistent) return;
      if (ZandorelScores.saving) {
        ZandorelScores.again = true;
        return;
      }
      ZandorelScores.saving = state.saving = true;
      FS.syncfs(false, function(error) {
        ZandorelScores.saving = state.saving = false;
        if (error) {
          err('zandorel: the high scores could not be saved: ' + error);
        } else {
          state.saved++;
        }
        if (ZandorelScores.again) {
          ZandorelScores.again = false;
          ZandorelScores.flush();
        }
      });
    },
  },

  // Emscripten's C library declares the extended-attribute calls but has none: its file
  // systems keep no attributes, which is what ENOTSUP tells the table's rewrite.
  listxattr__deps: ['$setErrNo'],
  listxattr: function(path, list, size) {
    setErrNo({{{ cDefine('ENOTSUP') }}});
    return -1;
  },
  getxattr__deps: ['$setErrNo'],
  getxattr: function(path, name, value, size) {
    setErrNo({{{ cDefine('ENOTSUP') }}});
    return -1;
  },
  fsetxattr__deps: ['$setErrNo'],
  fsetxattr: function(fd, name, value, size, flags) {
    setErrNo({{{ cDefine('ENOTSUP') }}});
    return -1;
  },

  zandorel_game_ended__deps: ['$ZandorelScores'],
  zandorel_game_ended: function() {
    ZandorelScores.flush();
    if (Module['onGameEnded']) Module['onGameEnded']();
  },
});

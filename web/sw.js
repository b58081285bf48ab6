// Keeps the site's files in the browser, so that after one visit the game starts without the
// network. The build writes the list below: every file of the site and its SHA-256, and the
// cache is named after that list, so a new build gets a cache of its own and a page is only ever
// served files of one build. A file that does not match the list (a damaged download, or a
// build that changed on the server meanwhile) fails the install, which the next visit tries
// again; until then the build already kept goes on being served.
var FILES = @ZANDOREL_SITE_FILES@;
var CACHE = 'zandorel-@ZANDOREL_SITE_VERSION@';
var FOLDER = new URL('./', self.location).pathname;

function hex(digest) {
  return Array.prototype.map.call(new Uint8Array(digest), function(byte) {
    return (byte + 0x100).toString(16).slice(1);
  }).join('');
}

// The page has just fetched most of these files: the browser's own copy is taken where it has
// one, stale or not, so that a first visit downloads each file once (index.html by the address
// the page was opened at too). A file it does not have, or whose copy is not the listed file
// (an older build's), is asked for from the server.
function keep(cache, name) {
  var kept = name === 'index.html' ? [name, './'] : [name];
  return kept.reduce(function(tried, address) {
    return tried.catch(function() {
      return fetchListed(name, address, { cache: 'only-if-cached', mode: 'same-origin' });
    });
  }, Promise.reject()).catch(function() {
    return fetchListed(name, name, { cache: 'no-cache' });
  }).then(function(response) {
    return cache.put(name, response);
  });
}

function fetchListed(name, address, options) {
  return fetch(address, options).then(function(response) {
    if (!response.ok) throw new Error(name + ': ' + response.status);
    return response.clone().arrayBuffer().then(function(bytes) {
      return crypto.subtle.digest('SHA-256', bytes);
    }).then(function(digest) {
      if (hex(digest) !== FILES[name]) throw new Error(name + ' is not the file this build lists');
      return response;
    });
  });
}

self.addEventListener('install', function(event) {
  event.waitUntil(caches.open(CACHE).then(function(cache) {
    return Promise.all(Object.keys(FILES).map(function(name) { return keep(cache, name); }));
  }).catch(function(error) {
    return caches.delete(CACHE).then(function() { throw error; });
  }));
});

// A new build takes over only once every open page of the site has all its files: each page
// that has started its game says so (web/loader.js), and a page still loading keeps the build
// it began with. Otherwise the new build waits until the site's tabs are closed.
var started = {};
self.addEventListener('message', function(event) {
  if (event.data !== 'take-over' || !event.source) return;
  started[event.source.id] = true;
  event.waitUntil(self.clients.matchAll({ type: 'window', includeUncontrolled: true })
    .then(function(pages) {
      var ours = pages.filter(function(page) {
        return page.url.indexOf(self.registration.scope) === 0;
      });
      if (ours.every(function(page) { return started[page.id]; })) return self.skipWaiting();
    }));
});

self.addEventListener('activate', function(event) {
  event.waitUntil(caches.keys().then(function(names) {
    return Promise.all(names.filter(function(name) {
      return name.indexOf('zandorel-') === 0 && name !== CACHE;
    }).map(function(name) { return caches.delete(name); }));
  }));
});

self.addEventListener('fetch', function(event) {
  var request = event.request;
  var url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== self.location.origin ||
      url.pathname.indexOf(FOLDER) !== 0) {
    return;
  }
  var name = url.pathname.slice(FOLDER.length) || 'index.html';
  if (!FILES.hasOwnProperty(name)) return;
  event.respondWith(caches.open(CACHE).then(function(cache) {
    return cache.match(name);
  }).then(function(kept) {
    return kept || fetch(request);
  }));
});

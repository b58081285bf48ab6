// Drives one browser for the web tests: headless Chromium, or headless Firefox over WebDriver
// BiDi, through puppeteer-core; WebKitGTK's MiniBrowser through classic WebDriver (webkit.js).
// One JSON command a line on standard input, one JSON answer a line on standard output. Game
// coordinates (0..255, 0..239) are turned into page coordinates at whatever scale the page
// shows the canvas.
'use strict';
const puppeteer = require('puppeteer-core');
const readline = require('readline');
const webkit = require('./webkit');

const CHROMIUM = process.env.ZANDOREL_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.ZANDOREL_FIREFOX || '/usr/bin/firefox-esr';

let browser = null;
let page = null;
const pages = [];
let cdp = null;

// Quiet, offline and root-proof: no sandbox (tests run as root), no GPU, no network of its
// own, a profile of the test's choosing.
function chromiumArgs(profile) {
  return ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-dev-shm-usage', `--user-data-dir=${profile}`];
}

// What a browser lacks or does wrong, made so in each of its tabs before the page runs.
const changes = {
  // As in a window whose browser refuses the site any storage.
  noStorage: () => {
    IDBFactory.prototype.open = function() {
      throw new DOMException('storage is blocked', 'SecurityError');
    };
  },
  // A store that never answers: a request whose events never come.
  hungStorage: () => { IDBFactory.prototype.open = function() { return {}; }; },
  // A store that opens and reads, but whose saves never answer.
  hungSaves: () => {
    const transaction = IDBDatabase.prototype.transaction;
    IDBDatabase.prototype.transaction = function(stores, mode) {
      if (mode !== 'readwrite') return transaction.apply(this, arguments);
      return { objectStore: () => ({ get: () => ({}) }) };
    };
  },
  // A store whose writes commit as usual, but are heard of only 4.5 s later (a busy phone).
  lateSaves: () => {
    const transaction = IDBDatabase.prototype.transaction;
    IDBDatabase.prototype.transaction = function(stores, mode) {
      const made = transaction.apply(this, arguments);
      if (mode !== 'readwrite') return made;
      Object.defineProperty(made, 'oncomplete', { set(heard) {
        made.addEventListener('complete', (event) => setTimeout(() => heard.call(made, event), 4500));
      } });
      return made;
    };
  },
  // A browser whose tabs cannot tell each other anything.
  noBroadcast: () => { delete window.BroadcastChannel; },
  // Every value the page gives its progress bar, as a share of the bar, whether the game had
  // started by then, and whether the loading line showed.
  watchBar: () => {
    const value = Object.getOwnPropertyDescriptor(HTMLProgressElement.prototype, 'value');
    window.zandorelBar = [];
    Object.defineProperty(HTMLProgressElement.prototype, 'value', {
      configurable: true, get: value.get,
      set(to) {
        value.set.call(this, to);
        window.zandorelBar.push([this.value / this.max, window.zandorelFirstFrame !== undefined,
          !document.getElementById('status').hidden]);
      },
    });
  },
};
let changed = [];

// ratio: device pixels per CSS pixel, as a screen of that density gives them (the browser's own
// setting: emulation draws at one and scales the picture, which says nothing of the page).
// host: a name of 127.0.0.1 other than its own, which the browser does not count as secure.
const engines = {
  chromium: ({ profile, ratio, host }) => puppeteer.launch({ executablePath: CHROMIUM,
    headless: true, userDataDir: profile, protocolTimeout: 30000,
    args: chromiumArgs(profile).concat(ratio ? [`--force-device-scale-factor=${ratio}`] : [],
      host ? [`--host-resolver-rules=MAP ${host} 127.0.0.1`] : []) }),
  // No update checks, no first-run pages; a name of its own resolved to the loopback.
  firefox: ({ profile, ratio, host }) => puppeteer.launch({ browser: 'firefox',
    executablePath: FIREFOX, headless: true, userDataDir: profile, protocolTimeout: 30000,
    extraPrefsFirefox: Object.assign({ 'app.update.enabled': false,
      'browser.shell.checkDefaultBrowser': false, 'full-screen-api.allow-trusted-requests-only': false },
    ratio ? { 'layout.css.devPixelsPerPx': String(ratio) } : {},
    host ? { 'network.dns.localDomains': host } : {}) }),
  webkit: (options) => webkit.launch(options),
};

async function launch({ op, tab, engine = 'chromium', profile, width = 1024, height = 768,
  touch = false, ratio = 0, host = null, ...options }) {
  browser = await engines[engine]({ profile, ratio, host });
  page = (await browser.pages())[0] || await browser.newPage();
  pages.push(page);
  await page.setViewport({ width, height, hasTouch: touch, isMobile: touch,
    deviceScaleFactor: ratio ? 0 : 1 });
  changed = Object.keys(options).filter((name) => options[name]).map((name) => changes[name]);
  await prepare(page, 0);
}

async function prepare(tab, index) {
  for (const change of changed) await tab.evaluateOnNewDocument(change);
  tell(tab, index);
}

function tell(tab, index) {
  const who = index ? `tab ${index} ` : '';
  tab.on('pageerror', (error) => process.stderr.write(`${who}page error: ${error.stack || error.message}\n`));
  tab.on('console', (message) => process.stderr.write(`${who}console: ${message.text()}\n`));
}

// The DevTools protocol, for what the page itself cannot do.
async function devtools() {
  cdp = cdp || await pages[0].createCDPSession();
  return cdp;
}

// What a third visit finds in the store, read apart from the game; given a text, the table
// another tab saved, written there without a word to this one.
function storedTable(text) {
  return new Promise((resolve) => {
    const open = indexedDB.open('/scores');
    open.onerror = () => resolve({ text: null });
    open.onsuccess = () => {
      const db = open.result;
      const store = db.transaction('FILE_DATA', text ? 'readwrite' : 'readonly').objectStore('FILE_DATA');
      const request = text ? store.put({ timestamp: new Date(), mode: 33206,
        contents: new TextEncoder().encode(text) }, '/scores/highscores.txt')
        : store.get('/scores/highscores.txt');
      request.onsuccess = () => {
        db.close();
        resolve({ text: text || (request.result ? new TextDecoder().decode(request.result.contents) : null) });
      };
    };
  });
}

// Where a game pixel's centre is on the page.
async function at(x, y) {
  const box = await page.$eval('#canvas', (canvas) => {
    const r = canvas.getBoundingClientRect();
    return { left: r.left, top: r.top, width: r.width, height: r.height };
  });
  return { x: box.left + (x + 0.5) * box.width / 256, y: box.top + (y + 0.5) * box.height / 240 };
}

// The canvas as the player sees it, and what the page says around it.
function look() {
  const canvas = document.getElementById('canvas');
  const shown = (id) => !!document.getElementById(id) && !document.getElementById(id).hidden;
  const state = {
    scale: canvas.getBoundingClientRect().width / 256,
    game: shown('game'), status: shown('status'), ended: shown('ended'), note: shown('note'),
    unsaved: shown('unsaved'), insecure: shown('insecure'), bar: window.zandorelBar || null,
    statusText: document.getElementById('status-text').textContent,
    storage: window.Module && Module.scoreStorage ? Object.assign({}, Module.scoreStorage) : null,
    rendering: getComputedStyle(canvas).imageRendering,
    focus: document.activeElement ? document.activeElement.id : '',
    // The surfaces emscripten's SDL holds (its global, in the game's script; a freed one's
    // entry is left null).
    surfaces: typeof SDL === 'object' ? Object.values(SDL.surfaces).filter(Boolean).length : null,
    pixels: null,
  };
  if (state.game) {
    const bytes = canvas.getContext('2d').getImageData(0, 0, 256, 240).data;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    state.pixels = btoa(text);
  }
  return state;
}

// How the game sits on the screen: device pixels per game pixel as laid out, how many game
// pixels the screen shows as anything but a square of one colour that size, and whether the
// page's controls lie under the game and wholly inside the window.
async function fit() {
  const png = await page.screenshot({ encoding: 'base64' });
  return page.evaluate(async (png) => {
    const bitmap = await createImageBitmap(await (await fetch(`data:image/png;base64,${png}`)).blob());
    const shot = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    shot.drawImage(bitmap, 0, 0);
    const box = (id) => { const e = document.getElementById(id); return e && e.getBoundingClientRect(); };
    const game = box('canvas');
    const perGamePixel = game.width * devicePixelRatio / 256;
    const side = Math.round(perGamePixel);
    const px = shot.getImageData(Math.round(game.left * devicePixelRatio),
      Math.round(game.top * devicePixelRatio), 256 * side, 240 * side).data;
    let split = 0;
    for (let gy = 0; gy < 240; gy++) {
      for (let gx = 0; gx < 256; gx++) {
        const corner = 4 * (gy * side * 256 * side + gx * side);
        let same = true;
        for (let i = 0; i < side * side && same; i++) {
          const at = corner + 4 * (Math.floor(i / side) * 256 * side + i % side);
          same = px[at] === px[corner] && px[at + 1] === px[corner + 1] && px[at + 2] === px[corner + 2];
        }
        if (!same) split++;
      }
    }
    const shown = ['canvas', 'peek', 'fullscreen'].map(box).filter((r) => r && r.width > 0);
    const inside = shown.every((r) => r.left >= 0 && r.top >= 0 && r.right <= innerWidth &&
      r.bottom <= innerHeight) && document.documentElement.scrollWidth <= innerWidth;
    const peek = box('peek');
    return { ratio: devicePixelRatio, cssWidth: game.width, perGamePixel, split, inside,
      peek: [peek.width, peek.height], peekBelow: peek.top >= game.bottom };
  }, png);
}

// Each answers with an object (undefined is sent as {}).
const commands = {
  launch,
  open: ({ url }) => page.goto(url, { waitUntil: 'load' }).then(() => {}),
  look: () => page.evaluate(look),
  click: async ({ x, y }) => {
    const p = await at(x, y);
    await page.mouse.move(p.x, p.y);
    await page.mouse.click(p.x, p.y);
  },
  tap: async ({ x, y }) => { const p = await at(x, y); await page.touchscreen.tap(p.x, p.y); },
  tapPeek: () => page.tap('#peek'),
  // The control as a finger or a mouse would find it: its size is the page's own.
  playAgain: async () => {
    const box = await page.$eval('#again', (b) => { const r = b.getBoundingClientRect(); return [r.width, r.height]; });
    await page.click('#again');
    return { size: box };
  },
  // As when the player switches to another tab.
  hide: () => page.evaluate(() => {
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  }),
  show: () => page.evaluate(() => {
    Object.defineProperty(document, 'visibilityState', { value: 'visible', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  }),
  key: ({ name }) => page.keyboard.press(name),
  fit,
  fullScreen: async () => {
    await page.click('#fullscreen');
    return { full: await page.waitForFunction(() => !!document.fullscreenElement, { timeout: 5000 })
      .then(() => true, () => false) };
  },
  // Whether the page cancelled the browser's own use of a key or a chord (['Control', 'Equal']).
  keyCancelled: async ({ keys }) => {
    await page.evaluate(() => {
      if (!('keyCancelled' in window)) {
        window.addEventListener('keydown', (event) => { window.keyCancelled = event.defaultPrevented; });
      }
      window.keyCancelled = null;
    });
    for (const name of keys) await page.keyboard.down(name);
    for (const name of keys.slice().reverse()) await page.keyboard.up(name);
    return { cancelled: await page.evaluate(() => window.keyCancelled) };
  },
  file: ({ path }) => page.evaluate((p) => {
    try { return { text: FS.readFile(p, { encoding: 'utf8' }) }; } catch (e) { return { text: null }; }
  }, path),
  // Another tab of the same browser: later commands name it by the number answered.
  openTab: async ({ url }) => {
    const tab = await browser.newPage();
    await prepare(tab, pages.length);
    pages.push(tab);
    await tab.goto(url, { waitUntil: 'load' });
    return { tab: pages.length - 1 };
  },
  stored: ({ text }) => page.evaluate(storedTable, text || null),
  // The origin's storage quota, in bytes (none: back to the browser's own).
  quota: async ({ size }) => {
    const origin = new URL(page.url()).origin;
    await (await devtools()).send('Storage.overrideQuotaForOrigin',
      size === null ? { origin } : { origin, quotaSize: size });
  },
  installability: async () => ({ errors: (await (await devtools()).send(
    'Page.getInstallabilityErrors')).installabilityErrors }),
  // Until the site's service worker has kept its files.
  kept: () => page.evaluate(() => navigator.serviceWorker.ready.then(() => ({}))),
  // Whether the browser's own menu is kept off the game.
  contextMenu: () => page.$eval('#canvas', (canvas) => ({ blocked: !canvas.dispatchEvent(
    new MouseEvent('contextmenu', { button: 2, bubbles: true, cancelable: true })) })),
};

const lines = readline.createInterface({ input: process.stdin });
let queue = Promise.resolve();
lines.on('line', (line) => {
  queue = queue.then(async () => {
    let answer;
    try {
      const command = JSON.parse(line);
      if (pages.length && pages[command.tab || 0] !== page) {
        page = pages[command.tab || 0];
        // A tab in the background gets no animation frames.
        await page.bringToFront();
      }
      const result = await commands[command.op](command);
      answer = { ok: true, result: result && !Array.isArray(result) ? result : {} };
    } catch (error) {
      answer = { ok: false, error: String(error && error.stack || error) };
    }
    process.stdout.write(JSON.stringify(answer) + '\n');
  });
});
lines.on('close', () => {
  queue.then(async () => { if (browser) await browser.close(); process.exit(0); });
});

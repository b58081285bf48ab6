// WebKitGTK's MiniBrowser driven through WebKitWebDriver, over classic WebDriver, behind the
// few calls of puppeteer's browser and page that driver.js makes, so that its commands serve
// every engine. MiniBrowser needs an X server: DISPLAY names the one the test started.
'use strict';
const { spawn } = require('child_process');
const net = require('net');

const DRIVER = process.env.ZANDOREL_WEBKIT_DRIVER || 'WebKitWebDriver';
const MINIBROWSER = process.env.ZANDOREL_MINIBROWSER ||
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// The keys by the names puppeteer gives them, as WebDriver codes them.
const KEYS = { Escape: '\uE00C', Enter: '\uE007', Space: ' ', Tab: '\uE004', Control: '\uE009',
  Equal: '=', KeyP: 'p', F5: '\uE035' };

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    }).on('error', reject);
  });
}

class Session {
  constructor(base) { this.base = base; this.id = null; }

  async call(method, path, body) {
    const url = `${this.base}/session${this.id ? `/${this.id}` : ''}${path}`;
    const response = await fetch(url, { method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body) });
    const answer = await response.json();
    if (!response.ok) throw new Error(`${method} ${path}: ${JSON.stringify(answer.value)}`);
    return answer.value;
  }

  // A pointer's or the keyboard's steps, then every key and button let go.
  async act(type, actions, parameters) {
    await this.call('POST', '/actions', { actions: [{ type, id: `${type}-${parameters ?
      parameters.pointerType : 'keys'}`, parameters, actions }] });
    await this.call('DELETE', '/actions');
  }
}

class Page {
  constructor(browser, handle) {
    this.browser = browser;
    this.handle = handle;
    this.before = []; // scripts to run before the page's own
    this.mouse = {
      move: (x, y) => this.pointer('mouse', [this.move(x, y)]),
      click: (x, y) => this.pointer('mouse', [this.move(x, y), { type: 'pointerDown', button: 0 },
        { type: 'pointerUp', button: 0 }]),
    };
    this.touchscreen = {
      tap: (x, y) => this.pointer('touch', [this.move(x, y), { type: 'pointerDown', button: 0 },
        { type: 'pointerUp', button: 0 }]),
    };
    this.keyboard = {
      press: (name) => this.keys([{ type: 'keyDown', value: KEYS[name] },
        { type: 'keyUp', value: KEYS[name] }]),
      // Held until up(): WebDriver lets go of the keys at the end of each action list.
      down: async (name) => { this.held = (this.held || []).concat(name); },
      up: async (name) => {
        if (this.held.length === 0) return;
        const held = this.held;
        this.held = [];
        await this.keys(held.map((key) => ({ type: 'keyDown', value: KEYS[key] }))
          .concat(held.slice().reverse().map((key) => ({ type: 'keyUp', value: KEYS[key] }))));
      },
    };
  }

  get session() { return this.browser.session; }

  move(x, y) { return { type: 'pointerMove', origin: 'viewport', x: Math.floor(x), y: Math.floor(y) }; }

  async pointer(kind, actions) {
    await this.bringToFront();
    await this.session.act('pointer', actions, { pointerType: kind });
  }

  async keys(actions) {
    await this.bringToFront();
    await this.session.act('key', actions);
  }

  async bringToFront() {
    if (this.browser.current === this.handle) return;
    await this.session.call('POST', '/window', { handle: this.handle });
    this.browser.current = this.handle;
  }

  // fn (a function, or its text) called in the page with args; a promise it returns is awaited.
  async evaluate(fn, ...args) {
    await this.bringToFront();
    const answer = await this.session.call('POST', '/execute/async', { args, script: `
      const done = arguments[arguments.length - 1];
      const args = Array.prototype.slice.call(arguments, 0, -1);
      Promise.resolve().then(() => (${fn}).apply(null, args)).then(
        (value) => done({ value: value === undefined ? null : value }),
        (error) => done({ error: String(error && error.stack || error) }));` });
    if (answer.error) throw new Error(answer.error);
    return answer.value;
  }

  $eval(selector, fn, ...args) {
    return this.evaluate(`(selector, ...args) => (${fn})(document.querySelector(selector), ...args)`,
      selector, ...args);
  }

  async centre(selector) {
    return this.$eval(selector, (e) => {
      const r = e.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
    });
  }

  async click(selector) { const p = await this.centre(selector); await this.mouse.click(p.x, p.y); }

  async tap(selector) { const p = await this.centre(selector); await this.touchscreen.tap(p.x, p.y); }

  async screenshot() {
    await this.bringToFront();
    return this.session.call('GET', '/screenshot');
  }

  async waitForFunction(fn, { timeout = 30000 } = {}) {
    const deadline = Date.now() + timeout;
    while (!(await this.evaluate(fn))) {
      if (Date.now() > deadline) throw new Error(`timed out waiting for ${fn}`);
      await sleep(50);
    }
    return true;
  }

  async evaluateOnNewDocument(fn) { this.before.push(`(${fn})();`); }

  // Classic WebDriver runs nothing before a page's own scripts: the test's site runs what
  // sessionStorage holds under zandorel-before first, which a page of the same origin sets.
  async goto(url) {
    await this.bringToFront();
    if (this.before.length) {
      await this.session.call('POST', '/url', { url: new URL('zandorel-before', url).href });
      await this.evaluate((script) => sessionStorage.setItem('zandorel-before', script),
        this.before.join('\n'));
    }
    await this.session.call('POST', '/url', { url });
  }

  async setViewport({ width, height }) {
    await this.bringToFront();
    await this.session.call('POST', '/window/rect', { width, height });
    // The window's frame and toolbar take their share: the page is given the size asked for.
    const inner = await this.evaluate(() => [innerWidth, innerHeight]);
    await this.session.call('POST', '/window/rect',
      { width: 2 * width - inner[0], height: 2 * height - inner[1] });
  }

  url() { return this.session.call('GET', '/url'); }

  // MiniBrowser's console goes to its standard output, which is this process's error output.
  on() {}
}

class Browser {
  constructor() { this.all = []; this.current = null; }

  async start() {
    const port = await freePort();
    this.driver = spawn(DRIVER, [`--port=${port}`], { stdio: ['ignore', 2, 2] });
    this.session = new Session(`http://127.0.0.1:${port}`);
    for (let tries = 0; ; tries++) {
      try {
        const status = await fetch(`${this.session.base}/status`);
        if (status.ok) break;
      } catch (error) {
        if (tries > 100) throw error;
      }
      await sleep(100);
    }
    // The X server may refuse a connection now and then: the browser is started again.
    for (let tries = 1; ; tries++) {
      try {
        const answer = await this.session.call('POST', '', { capabilities: { alwaysMatch: {
          browserName: 'MiniBrowser', 'webkitgtk:browserOptions': { binary: MINIBROWSER,
            args: ['--automation', '--enable-write-console-messages-to-stdout=true'] } } } });
        this.session.id = answer.sessionId;
        break;
      } catch (error) {
        if (tries === 3) throw error;
      }
    }
    await this.session.call('POST', '/timeouts', { script: 30000 });
    const handle = await this.session.call('GET', '/window');
    this.current = handle;
    this.all.push(new Page(this, handle));
    return this;
  }

  async pages() { return this.all; }

  async newPage() {
    // A window of its own: MiniBrowser's tab in the background would hear no input.
    const { handle } = await this.session.call('POST', '/window/new', { type: 'window' });
    const page = new Page(this, handle);
    this.all.push(page);
    return page;
  }

  async close() {
    try {
      await this.session.call('DELETE', '');
    } finally {
      this.driver.kill();
    }
  }
}

module.exports = { launch: () => new Browser().start() };

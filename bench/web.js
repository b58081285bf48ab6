// The web build's figures (BENCHMARKS.md, "Web"): size, first frame after a cold load beside a
// bare SDL page's (from a host that compresses everything, from one that compresses nothing,
// and on a Fast-3G-like link from one that compresses), frame rate and script time on the title
// and play screens, the frames from a click to the frame that shows it, and Lighthouse's scores.
// Headless Chromium on this machine, the pages served from 127.0.0.1. Prints the figures;
// asserts nothing.
//
// Usage: node bench/web.js SITE_FOLDER BARE_FOLDER
//        (tools/web-bench.sh builds both and runs this)
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require(path.join(__dirname, '..', 'tests', 'web', 'node_modules', 'puppeteer-core'));

const { execFile } = require('child_process');
const { promisify } = require('util');
const site = path.resolve(process.argv[2] || 'build-web/site');
const bare = path.resolve(process.argv[3] || 'build-web/bare');
// The solution's preview (tools/web-bench.sh reads it from the game's sources).
const previewMs = Number(process.env.ZANDOREL_PREVIEW_MS);
if (!(previewMs > 0)) {
  throw new Error('ZANDOREL_PREVIEW_MS must give the preview in milliseconds (tools/web-bench.sh)');
}
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png' };

// compress: every answer gzipped (level 6, a host's usual) where the browser accepts it.
function serve(root, compress) {
  const server = http.createServer((request, response) => {
    const file = path.join(root, path.normalize(decodeURIComponent(request.url.split('?')[0])).replace(/^\/$/, '/index.html'));
    fs.readFile(file, (error, body) => {
      if (error) { response.writeHead(404); response.end(); return; }
      const headers = { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-cache' };
      if (compress && /gzip/.test(request.headers['accept-encoding'] || '')) {
        body = zlib.gzipSync(body);
        headers['Content-Encoding'] = 'gzip';
      }
      response.writeHead(200, headers);
      response.end(body);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Animation frames, and the share of one core spent in script (the game's WebAssembly, its
// JavaScript and the calls they make into the browser), from the sampling profiler: every
// sample that is not idle, the browser's own work or garbage collection.
async function steady(page, client, seconds) {
  const frames0 = await page.evaluate(() => window.benchFrames);
  await client.send('Profiler.start');
  await sleep(seconds * 1000);
  const { profile } = await client.send('Profiler.stop');
  const frames1 = await page.evaluate(() => window.benchFrames);
  const nodes = new Map(profile.nodes.map((node) => [node.id, node.callFrame.functionName]));
  let script = 0;
  profile.samples.forEach((id, i) => {
    if (!['(idle)', '(program)', '(garbage collector)'].includes(nodes.get(id))) {
      script += profile.timeDeltas[i] || 0;
    }
  });
  const elapsed = (profile.endTime - profile.startTime) / 1e6;
  return { fps: (frames1 - frames0) / elapsed, script: 100 * script / 1e6 / elapsed };
}

// A frame counter beside the game's own animation frames.
function countFrames() {
  window.benchFrames = 0;
  const tick = () => { window.benchFrames++; requestAnimationFrame(tick); };
  requestAnimationFrame(tick);
}

// Frames from a click's release to the first frame whose pixels around the click differ.
// Armed before the click, so that a release cannot come before the listener.
function armFramesToShow(x, y) {
  window.benchShown = new Promise((resolve) => {
    const canvas = document.getElementById('canvas');
    const ctx = canvas.getContext('2d');
    const around = () => Array.from(ctx.getImageData(x - 1, y - 1, 3, 3).data).join();
    const seen = around();
    canvas.addEventListener('mouseup', () => {
      const released = window.benchFrames;
      const check = () => {
        if (around() !== seen) resolve(window.benchFrames - released);
        else if (window.benchFrames - released > 30) resolve(-1);
        else requestAnimationFrame(check);
      };
      requestAnimationFrame(check);
    }, { once: true, capture: true });
  });
}

// Cold loads of each page each way. From the quick hosts a load's first frame varies by tens of
// milliseconds on this machine, and the ratio of two medians of 30 moved from 1.23 to 1.34 between
// runs of one build: 60 of them. On the slow link a load varies by about 2%: 15.
const LOADS = 60;
const SLOW_LOADS = 15;

// DevTools' "Fast 3G" as the issue measured it: 1.6 Mbps down, 750 kbps up, 150 ms.
const FAST_3G = { offline: false, latency: 150, downloadThroughput: 1.6e6 / 8,
  uploadThroughput: 750e3 / 8 };

// A context of its own: empty cache, empty storage.
async function firstFrame(browser, url, network) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  if (network) {
    const client = await page.createCDPSession();
    await client.send('Network.enable');
    await client.send('Network.emulateNetworkConditions', network);
  }
  await page.goto(url);
  await page.waitForFunction(() => window.zandorelFirstFrame !== undefined, { timeout: 30000 });
  const time = await page.evaluate(() => window.zandorelFirstFrame);
  await context.close();
  return time;
}

async function main() {
  const sizes = {};
  let gzipped = 0, raw = 0;
  for (const name of fs.readdirSync(site)) {
    const body = fs.readFileSync(path.join(site, name));
    const packed = zlib.gzipSync(body, { level: 9 }).length;
    sizes[name] = { bytes: body.length, gzip: packed };
    gzipped += packed;
    raw += body.length;
  }
  console.log('size, every file of the site:', (raw / 1024).toFixed(1), 'KB raw,',
    (gzipped / 1024).toFixed(1), 'KB with gzip -9');
  for (const [name, size] of Object.entries(sizes)) {
    console.log(`  ${name}: ${(size.bytes / 1024).toFixed(1)} KB, gzip ${(size.gzip / 1024).toFixed(1)} KB`);
  }

  const servers = [];
  const address = async (root, compress) => {
    const server = await serve(root, compress);
    servers.push(server);
    return `http://127.0.0.1:${server.address().port}/`;
  };
  const url = await address(site, true);
  const plain = { site: await address(site, false), bare: await address(bare, false) };
  const zipped = { site: url, bare: await address(bare, true) };
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zandorel-bench-'));
  const browser = await puppeteer.launch({ executablePath: process.env.ZANDOREL_CHROMIUM || '/usr/bin/chromium',
    headless: true, userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      // Each new context opens a window for which this Chromium loads its own address bar's
      // pop-up pages, in a renderer of their own: about a second of a core per load, on a
      // machine of two, for pages no one opens. The site and the bare page alike lost to it.
      '--disable-features=PreloadTopChromeWebUI,WebUIOmniboxPopup,WebUIOmniboxFullPopup,WebUIOmniboxAimPopup',
      `--user-data-dir=${profile}`] });
  try {
    // The site and the bare page by turns, and the three hosts by turns, so that all meet the
    // same load of the machine.
    const ways = [['host compresses everything', zipped, null],
      ['host compresses nothing', plain, null], ['Fast 3G, host compresses', zipped, FAST_3G]];
    const firsts = ways.map(() => ({ site: [], bare: [] }));
    const load = [os.loadavg()[0]];
    for (let i = 0; i < LOADS; i++) {
      for (const [w, [, urls, network]] of ways.entries()) {
        if (network && i % (LOADS / SLOW_LOADS) !== 0) continue;
        firsts[w].site.push(await firstFrame(browser, urls.site, network));
        firsts[w].bare.push(await firstFrame(browser, urls.bare, network));
      }
    }
    load.push(os.loadavg()[0]);
    for (const [w, [way]] of ways.entries()) {
      for (const [name, times] of Object.entries(firsts[w])) {
        console.log(`first frame after a cold load, ${way}, ${name}, median of ${times.length}:`,
          median(times).toFixed(0), 'ms', `(all: ${times.map((t) => t.toFixed(0)).join(' ')})`);
      }
    }
    console.log('site / bare:', ways.map(([way], w) =>
      `${way} ${(median(firsts[w].site) / median(firsts[w].bare)).toFixed(2)}`).join(', '),
    `(load average ${load.map((l) => l.toFixed(1)).join(' to ')})`);

    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport({ width: 1024, height: 768 });
    await page.goto(url);
    await page.waitForFunction(() => window.zandorelFirstFrame !== undefined, { timeout: 30000 });
    await page.evaluate(countFrames);
    const client = await page.createCDPSession();
    await client.send('Profiler.enable');
    await client.send('Profiler.setSamplingInterval', { interval: 200 });
    const title = await steady(page, client, 5);
    console.log(`title screen: ${title.fps.toFixed(1)} frames/s, script ${title.script.toFixed(1)}% of one core`);

    const box = await page.$eval('#canvas', (c) => { const r = c.getBoundingClientRect(); return { x: r.left, y: r.top, s: r.width / 256 }; });
    const click = async (x, y) => {
      await page.mouse.move(box.x + (x + 0.5) * box.s, box.y + (y + 0.5) * box.s);
      await page.mouse.click(box.x + (x + 0.5) * box.s, box.y + (y + 0.5) * box.s);
    };
    await click(120, 134); // start
    await sleep(500);
    await click(174, 115); // continue
    await sleep(previewMs + 600); // the solution's preview, and a little more
    const play = await steady(page, client, 5);
    console.log(`play screen: ${play.fps.toFixed(1)} frames/s, script ${play.script.toFixed(1)}% of one core`);

    const delays = [];
    for (let i = 0; i < 6; i++) {
      await page.evaluate(armFramesToShow, 15, 34);
      await click(15, 34); // tile (0, 0), whatever the tile size
      delays.push(await page.evaluate(() => window.benchShown));
      await sleep(200);
    }
    console.log('frames from a click to the frame that shows it:', delays.join(' '),
      '(-1: not seen within 30 frames)');
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  await lighthouse(url);
  servers.forEach((server) => server.close());
}

// Lighthouse (tools/lighthouse/, set up by tools/web-bench.sh) on the site from a host that
// compresses, with its mobile and desktop presets; its scores, and every audit that lost points.
// Run beside this process's servers, which must go on answering.
async function lighthouse(url) {
  const cli = path.join(__dirname, '..', 'tools', 'lighthouse', 'node_modules', 'lighthouse', 'cli', 'index.js');
  if (!fs.existsSync(cli)) {
    console.log('Lighthouse: not set up (tools/web-bench.sh sets it up)');
    return;
  }
  for (const preset of ['mobile', 'desktop']) {
    const out = fs.mkdtempSync(path.join(os.tmpdir(), 'zandorel-lighthouse-'));
    try {
      await promisify(execFile)(process.execPath, [cli, url, '--quiet', '--output=json',
        `--output-path=${path.join(out, 'report.json')}`,
        '--only-categories=performance,accessibility,best-practices,seo',
        '--chrome-flags=--headless --no-sandbox --disable-gpu --disable-dev-shm-usage']
        .concat(preset === 'desktop' ? ['--preset=desktop'] : []),
      { env: Object.assign({}, process.env, { CHROME_PATH: process.env.ZANDOREL_CHROMIUM || '/usr/bin/chromium' }),
        timeout: 300000 });
      const report = JSON.parse(fs.readFileSync(path.join(out, 'report.json'), 'utf8'));
      const scores = Object.values(report.categories).map((c) => `${c.title} ${Math.round(c.score * 100)}`);
      console.log(`Lighthouse ${report.lighthouseVersion}, ${preset}: ${scores.join(', ')}`,
        `(load average ${os.loadavg()[0].toFixed(1)})`);
      const lost = Object.values(report.categories).flatMap((c) => c.auditRefs
        .filter((ref) => ref.weight > 0 && report.audits[ref.id].score !== null &&
          report.audits[ref.id].score < 1)
        .map((ref) => `${ref.id} ${report.audits[ref.id].displayValue || report.audits[ref.id].score}`));
      if (lost.length) console.log(`  below full marks: ${lost.join('; ')}`);
    } finally {
      fs.rmSync(out, { recursive: true, force: true });
    }
  }
}

main().catch((error) => { console.error(error); process.exit(1); });

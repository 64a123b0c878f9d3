// A real browser against the running program: Debian's chromium, headless,
// opens the page, sees a picture that changes, and a click on LAMP reaches
// the simulated camera as its command frame; the scan buttons make a PDF.
// Then a hostile page from another loopback origin tries to press LAMP and
// take a page (no-cors fetch, a form, a fetch with our header) and to frame
// our page: no command reaches the camera, no page is taken, the frame stays
// empty, and our own page still works. Exits 77
// (skipped) when the browser or its driver is missing; everything else is
// bounded.
import { spawn, spawnSync } from "node:child_process";
import { createServer } from "node:http";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

import { servedUrl } from "../serving_program.mjs";

const program = process.argv[2];
const chromium = "/usr/bin/chromium";
let driver;
try {
  driver = (await import("playwright-core")).chromium;
} catch {
  console.log("playwright-core is not installed (scripts/setup-debian.sh installs it): skipped");
  process.exit(77);
}
if (!existsSync(chromium)) {
  console.log("no " + chromium + ": skipped");
  process.exit(77);
}

const work = mkdtempSync(join(tmpdir(), "tavrocam-browser-"));
const simLog = join(work, "sim.log");
const deadline = setTimeout(() => fail("the test did not finish in 150 s"), 150000);
let child;
let context;

function fail(why) {
  console.error("FAIL: " + why);
  finish(1);
}

let hostileServer;

async function finish(code) {
  clearTimeout(deadline);
  // A program stopped by the test must be able to end.
  if (child && child.exitCode === null) child.kill("SIGCONT");
  try { if (hostileServer) hostileServer.close(); } catch {}
  try { if (context) await context.close(); } catch {}
  if (child && child.exitCode === null) child.kill("SIGTERM");
  rmSync(work, { recursive: true, force: true });
  process.exit(code);
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
async function until(what, test, ms) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(100)) if (await test()) return;
  fail(what);
}

child = spawn(program, ["--camera=sim", "--sim-paced", "--headless", "--serve=127.0.0.1:0",
                        "--capture-dir=" + join(work, "pages")], {
  env: { ...process.env, TAVROCAM_SIM_LOG: simLog, XDG_CONFIG_HOME: work, TAVROCAM_CLAIM_DIR: work },
  stdio: ["ignore", "pipe", "inherit"],
});
const url = await servedUrl(child, () => fail("the program ended before serving"));

context = await driver.launchPersistentContext(join(work, "profile"), {
  executablePath: chromium,
  headless: true,
  viewport: { width: 1200, height: 900 },
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
const page = context.pages()[0] || (await context.newPage());
const shots = process.env.TAVROCAM_BROWSER_SHOTS;
// The page runs under its Content-Security-Policy: any inline script, style
// or handler it tried would be refused and reported here.
const refused = [];
page.on("console", (m) => { if (/Content Security Policy|Refused to/i.test(m.text())) refused.push(m.text()); });
page.on("pageerror", (e) => refused.push(String(e)));
// Every POST carries the page's own header, which another site's form cannot add.
const posts = [];
page.on("request", (r) => { if (r.method() === "POST") posts.push(r.headers()["x-tavrocam"]); });

// A phone opens the page: the smooth picture (H.264 through Media Source
// Extensions) plays by default, its frames decode, its clock runs and it
// stays less than a second behind the newest picture.
await page.setViewportSize({ width: 390, height: 844 });
await page.goto(url, { timeout: 20000 });
const playback = () => page.evaluate(() => {
  const v = document.getElementById("live-video");
  const q = v.getVideoPlaybackQuality ? v.getVideoPlaybackQuality() : { totalVideoFrames: 0 };
  return { hidden: v.hidden, decoded: q.totalVideoFrames, time: v.currentTime, behind: Number(v.dataset.behind ?? NaN),
           width: v.videoWidth, mode: document.getElementById("picture-mode").value };
});
await until("the smooth picture did not play", async () => (await playback()).decoded > 10, 20000);
const started = await playback();
if (started.hidden || started.mode !== "h264" || started.width !== 1024)
  fail("the smooth picture is not the default: " + JSON.stringify(started));
let worstBehind = 0;
await until("the smooth picture's clock did not run", async () => {
  const now = await playback();
  if (now.behind > worstBehind) worstBehind = now.behind;
  return now.time > started.time + 2 && now.decoded > started.decoded + 20;
}, 20000);
if (!(worstBehind < 1)) fail("the smooth picture fell " + worstBehind + " s behind the live edge");
const viewers = (await (await page.request.get(url.replace(/\/(\?|$)/, "/api/state$1"))).json()).viewers_h264;
if (viewers !== 1) fail("the state counts " + viewers + " H.264 viewers");
if (shots) await page.screenshot({ path: join(shots, "page-smooth-390x844.png") });
// A mode change during play starts a new initialisation segment: the page
// follows it without a reload, at the new size, its clock still running.
await page.evaluate(() => { window.tavrocamSamePage = true; });
const beforeMode = await playback();
await page.click('[data-id="1045"]');  // VGA
await until("the smooth picture did not follow the mode change", async () => {
  const now = await playback();
  return now.width === 640 && now.decoded > beforeMode.decoded + 20 && now.time > beforeMode.time + 1;
}, 20000);
const afterVga = await playback();
await page.click('[data-id="1043"]');  // XGA again
await until("the smooth picture did not follow the second mode change", async () => {
  const now = await playback();
  return now.width === 1024 && now.decoded > afterVga.decoded + 20 && now.time > afterVga.time + 1;
}, 20000);
if (!(await page.evaluate(() => window.tavrocamSamePage === true))) fail("the page reloaded for the mode change");
// The viewer's choice of the sharp picture is kept by the browser.
await page.selectOption("#picture-mode", "jpeg");
await page.setViewportSize({ width: 1200, height: 900 });
await page.reload({ timeout: 20000 });

await until("the live picture never appeared",
  () => page.evaluate(() => document.getElementById("live").naturalWidth === 1024), 20000);
const live = page.locator("#live");
const first = await live.screenshot();
let changed = false;
await until("the picture did not change", async () => {
  changed = !(await live.screenshot()).equals(first);
  return changed;
}, 15000);

await until("the panel was not built", () => page.locator("#b1047").count().then((n) => n === 1), 10000);
await page.locator("#b1047").click();
const lampFrame = "CMD AA 80 00 26 00 A6 A5";
await until("LAMP did not reach the camera", () => existsSync(simLog) && readFileSync(simLog, "utf8").includes(lampFrame), 10000);

// A look set by the click follows on the page: Edge latches.
await page.locator("#b1119").click();
await until("the Edge button's look did not follow",
  () => page.evaluate(() => document.getElementById("b1119").dataset.look === "latched"), 5000);

if (posts.length < 2 || posts.some((h) => h !== "1")) fail("a POST went without X-Tavrocam: 1: " + JSON.stringify(posts));
const csp = (await page.request.get(url)).headers()["content-security-policy"] || "";
if (!csp.includes("default-src 'self'")) fail("the page is not served under default-src 'self': " + csp);
if ((await page.request.get(url.replace(/\/(\?|$)/, "/favicon.ico$1"))).status() !== 200) fail("no favicon");

// Tooltips say what a key does, never a raw id.
const titles = await page.$$eval("#panel button", (bs) => bs.map((b) => [b.id, b.title]));
for (const [id, title] of titles)
  if (!title || /^\d+$/.test(title) || title === id.slice(1)) fail("button " + id + " has no proper tooltip: " + title);
if ((await page.getAttribute("#b1047", "title")) !== "Switch the lamp") fail("LAMP's tooltip is not its table's");

// The heading follows the camera's state.
const heading = () => page.textContent("#state");
await until("the heading did not say live", async () => (await heading()) === "live", 5000);
await page.locator("#b1000").click();
await until("the heading did not say frozen", async () => (await heading()) === "frozen", 5000);
await page.locator("#b1000").click();
await until("the heading did not go back to live", async () => (await heading()) === "live", 5000);

// A teacher scans from the phone: two pages (a third taken and taken back),
// then the document, which the page offers as a link once it is written.
// The buttons rest while it is being finished.
await page.setViewportSize({ width: 390, height: 844 });
const scanCount = () => page.textContent("#scan-count");
for (const [button, count] of [["#scan-add", "1 page"], ["#scan-add", "2 pages"], ["#scan-add", "3 pages"],
                               ["#scan-undo", "2 pages"]]) {
  await page.locator(button).click();
  await until("after " + button + " the page did not count " + count, async () => (await scanCount()) === count, 10000);
}
// Every time the note says the document is being finished, the buttons are
// seen at that moment, however quickly the pages are read.
await page.evaluate(() => {
  window.finishingSeen = [];
  const note = document.getElementById("scan-note");
  new MutationObserver(() => {
    if (note.textContent.startsWith("Finishing"))
      window.finishingSeen.push([note.textContent,
        ...["scan-add", "scan-undo", "scan-finish"].map((id) => document.getElementById(id).disabled)]);
  }).observe(note, { childList: true, characterData: true, subtree: true });
});
const finishAnswer = page.waitForResponse((r) => r.url().includes("/api/scan/finish"), { timeout: 10000 });
await page.locator("#scan-finish").click();
if ((await finishAnswer).status() !== 202) fail("Finish PDF was not accepted");
await until("the finished document was not offered", () => page.isVisible("#scan-pdf"), 60000);
const finishing = await page.evaluate(() => window.finishingSeen);
if (!finishing.length || finishing.some(([note, ...disabled]) => !/^Finishing: \d of 2 pages read$/.test(note) ||
                                                                 disabled.includes(false)))
  fail("while finishing the buttons did not rest: " + JSON.stringify(finishing));
const documentName = await page.textContent("#scan-pdf");
if (!/^TAVROCAM_\d{8}_\d{6}\.pdf$/.test(documentName)) fail("the link is named " + documentName);
if ((await scanCount()) !== "0 pages" || (await page.isDisabled("#scan-add"))) fail("the page did not start a new stack");
const pdf = await page.request.get(new URL(await page.getAttribute("#scan-pdf", "href"), url).href);
const pdfBytes = await pdf.body();
if (pdf.status() !== 200 || pdf.headers()["content-type"] !== "application/pdf" ||
    !pdfBytes.subarray(0, 5).equals(Buffer.from("%PDF-")))
  fail("the link did not give a PDF: " + pdf.status() + " " + pdf.headers()["content-type"]);
if (!(pdf.headers()["content-disposition"] || "").includes('filename="' + documentName + '"'))
  fail("the PDF is not named " + documentName + ": " + pdf.headers()["content-disposition"]);
writeFileSync(join(work, "downloaded.pdf"), pdfBytes);
const pageCount = spawnSync("qpdf", ["--show-npages", join(work, "downloaded.pdf")], { encoding: "utf8", timeout: 20000 });
if (pageCount.stdout !== "2\n") fail("the document has " + JSON.stringify(pageCount.stdout) + " pages, not 2");
if (shots) await page.screenshot({ path: join(shots, "page-scanned-390x844.png") });

// A phone held both ways: picture and whole panel on screen without
// scrolling, the panel beside the picture in landscape and below it in
// portrait, every touch target at least 32 CSS px in its smaller side.
if (shots) await page.screenshot({ path: join(shots, "page-1200x900.png") });
for (const [width, height] of [[390, 844], [844, 390]]) {
  await page.setViewportSize({ width, height });
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  const layout = await page.evaluate(() => {
    const box = (e) => e.getBoundingClientRect().toJSON();
    const targets = [...document.querySelectorAll("#panel button, #bar a, #picture-mode, #scan button, #scan a")]
      .map((e) => ({ id: e.id, ...box(e) }));
    return { live: box(document.getElementById("live")), panel: box(document.getElementById("panel")), targets,
             scrollW: document.documentElement.scrollWidth, scrollH: document.documentElement.scrollHeight,
             panelScroll: document.getElementById("panel-box").scrollHeight - document.getElementById("panel-box").clientHeight };
  });
  if (shots) await page.screenshot({ path: join(shots, "page-" + width + "x" + height + ".png") });
  const where = width + "x" + height + ": ";
  if (layout.scrollW > width || layout.scrollH > height || layout.panelScroll > 0) fail(where + "the page scrolls");
  for (const t of layout.targets) {
    if (Math.min(t.width, t.height) < 32) fail(where + t.id + " is " + t.width + "x" + t.height);
    if (t.bottom > height || t.right > width || t.top < 0 || t.left < 0) fail(where + t.id + " is off the screen");
  }
  if (layout.live.height < 100 || layout.live.bottom > height) fail(where + "the picture is not on screen");
  if (width > height ? layout.panel.left < layout.live.right : layout.panel.top < layout.live.bottom)
    fail(where + "the panel is not " + (width > height ? "beside" : "below") + " the picture");
}

// The program stops answering (as if its machine hung): the page says so,
// and recovers by itself when it answers again.
child.kill("SIGSTOP");
await until("the lost connection was not shown",
  () => page.evaluate(() => !document.getElementById("connection").hidden), 15000);
if (shots) await page.screenshot({ path: join(shots, "page-lost.png") });
child.kill("SIGCONT");
await until("the page did not recover", () => page.evaluate(() => document.getElementById("connection").hidden), 15000);
if (refused.length) fail("the page broke its own policy: " + refused.join(" | "));

// Another origin on the loopback (another port) that the user happens to have open.
const lampCount = () => (readFileSync(simLog, "utf8").match(new RegExp(lampFrame, "g")) || []).length;
const lampsBefore = lampCount();
const target = new URL(url).origin;
const hostilePage = `<!doctype html><html><body>
<form id="f" method="POST" action="${target}/api/click/1047" target="sink"><input name="x" value="1"></form>
<iframe name="sink" id="sink"></iframe>
<form id="g" method="POST" action="${target}/api/scan/page" target="sink2"><input name="x" value="1"></form>
<iframe name="sink2" id="sink2"></iframe>
<iframe id="framed" src="${target}/"></iframe>
<script>
const tries = [
  fetch("${target}/api/scan/page", {method: "POST", mode: "no-cors"}).catch(() => {}),
  fetch("${target}/api/scan/page", {method: "POST", headers: {"X-Tavrocam": "1"}}).catch(() => {}),
  new Promise((r) => { document.getElementById("sink2").onload = r; document.getElementById("g").submit(); }),
  fetch("${target}/api/click/1047", {method: "POST", mode: "no-cors"}).catch(() => {}),
  fetch("${target}/api/click/1047", {method: "POST", mode: "no-cors", body: "x", headers: {"Content-Type": "text/plain"}}).catch(() => {}),
  fetch("${target}/api/click/1047", {method: "POST", headers: {"X-Tavrocam": "1"}}).catch(() => {}),
  new Promise((r) => { document.getElementById("sink").onload = r; document.getElementById("f").submit(); }),
];
Promise.all(tries).then(() => { window.done = true; });
</script></body></html>`;
hostileServer = createServer((req, res) => {
  res.writeHead(200, { "Content-Type": "text/html" });
  res.end(hostilePage);
});
const hostilePort = await new Promise((resolve) => hostileServer.listen(0, "127.0.0.1", () => resolve(hostileServer.address().port)));
const hostile = await context.newPage();
await hostile.goto(`http://127.0.0.1:${hostilePort}/`, { timeout: 20000 });
await until("the hostile page's tries did not settle", () => hostile.evaluate(() => window.done === true), 15000);
if (lampCount() !== lampsBefore) fail("a page on another origin pressed LAMP");
const scanAfter = await (await page.request.get(url.replace(/\/(\?|$)/, "/api/scan$1"))).json();
if (scanAfter.pages !== 0) fail("a page on another origin took " + scanAfter.pages + " pages");
const framed = hostile.frames().find((f) => f.parentFrame() && !f.name().startsWith("sink"));
if (!framed) fail("the framed copy is missing");
if (await framed.$("#panel").catch(() => null)) fail("our page ran inside another site's frame");

// Our own page, in the same run, still presses LAMP.
await page.bringToFront();
await page.locator("#b1047").click();
await until("our page's LAMP did not reach the camera after the hostile page", () => lampCount() === lampsBefore + 1, 10000);

// A browser without Media Source Extensions gets the sharp picture, even
// when the smooth one is the choice.
const plain = await context.newPage();
await plain.addInitScript(() => {
  for (const name of ["MediaSource", "ManagedMediaSource", "WebKitMediaSource"])
    Object.defineProperty(window, name, { value: undefined, configurable: true });
  localStorage.setItem("tavrocam.picture", "h264");
});
await plain.goto(url, { timeout: 20000 });
await until("without MSE the page showed no JPEG picture",
  () => plain.evaluate(() => document.getElementById("live").naturalWidth === 1024 &&
                             document.getElementById("live-video").hidden), 20000);
await plain.close();

console.log("browser: smooth picture by default on a phone (decoded, clock running, under a second behind, " +
            "following two mode changes without a reload), " +
            "JPEG without MSE; page opened, picture changed, LAMP reached the camera, looks follow, phone layouts fit, " +
            "tooltips, heading, lost connection shown and recovered; two pages scanned into a PDF from the phone; " +
            "another origin could neither press, scan nor frame");
await finish(0);

// A real browser against the running program: Debian's chromium, headless,
// opens the page, sees a picture that changes, and a click on LAMP reaches
// the simulated camera as its command frame. Exits 77 (skipped) when the
// browser or its driver is missing; everything else is bounded.
import { spawn } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

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
const deadline = setTimeout(() => fail("the test did not finish in 90 s"), 90000);
let child;
let context;

function fail(why) {
  console.error("FAIL: " + why);
  finish(1);
}

async function finish(code) {
  clearTimeout(deadline);
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

child = spawn(program, ["--camera=sim", "--sim-paced", "--headless", "--serve=127.0.0.1:0"], {
  env: { ...process.env, TAVROCAM_SIM_LOG: simLog, XDG_CONFIG_HOME: work, TAVROCAM_CLAIM_DIR: work },
  stdio: ["ignore", "pipe", "inherit"],
});
const url = await new Promise((resolve) => {
  let text = "";
  child.stdout.on("data", (d) => {
    text += d;
    const m = text.match(/serving the camera at (http:\/\/\S+)/);
    if (m) resolve(m[1]);
  });
  child.on("exit", () => fail("the program ended before serving"));
});

context = await driver.launchPersistentContext(join(work, "profile"), {
  executablePath: chromium,
  headless: true,
  viewport: { width: 1200, height: 900 },
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
const page = context.pages()[0] || (await context.newPage());
await page.goto(url, { timeout: 20000 });

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

console.log("browser: page opened, picture changed, LAMP reached the camera, looks follow");
await finish(0);

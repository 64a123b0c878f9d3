// The whole program, headless and serving, started before its camera is
// there: it keeps serving a 1024x768 "NO CAMERA" picture with "camera":
// "absent", opens no box (there is nobody to close it), and goes live once
// the simulated camera is plugged in. Everything is bounded; loopback only.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

import { servedUrl } from "./serving_program.mjs";

const program = process.argv[2];
const work = mkdtempSync(join(tmpdir(), "tavrocam-nocamera-"));
const plug = join(work, "camera-plugged-in");
const deadline = setTimeout(() => fail("the test did not finish in 60 s"), 60000);
let child;
let stderr = "";

function fail(why) {
  console.error("FAIL: " + why + "\nprogram's standard error:\n" + stderr);
  finish(1);
}

function finish(code) {
  clearTimeout(deadline);
  if (child && child.exitCode === null) child.kill("SIGKILL");
  rmSync(work, { recursive: true, force: true });
  process.exit(code);
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
async function until(what, test, ms) {
  for (const end = Date.now() + ms; Date.now() < end; await sleep(100)) {
    try {
      if (await test()) return;
    } catch {}
  }
  fail(what);
}

// The size in a baseline JPEG's frame header.
function jpegSize(bytes) {
  for (let i = 2; i + 9 < bytes.length; ) {
    if (bytes[i] !== 0xff) return null;
    const marker = bytes[i + 1];
    const length = (bytes[i + 2] << 8) | bytes[i + 3];
    if (marker === 0xc0) return { height: (bytes[i + 5] << 8) | bytes[i + 6], width: (bytes[i + 7] << 8) | bytes[i + 8] };
    i += 2 + length;
  }
  return null;
}

child = spawn(program, ["--camera=sim", "--headless", "--serve=127.0.0.1:0"], {
  env: { ...process.env, TAVROCAM_SIM_PLUG_FILE: plug, XDG_CONFIG_HOME: work, TAVROCAM_CLAIM_DIR: work },
  stdio: ["ignore", "pipe", "pipe"],
});
child.stderr.on("data", (d) => (stderr += d));
const url = await servedUrl(child, (code) => fail("the program ended (" + code + ") instead of waiting for its camera"));
const state = async () => (await fetch(url + "api/state", { signal: AbortSignal.timeout(3000) })).json();

await until("no \"camera\": \"absent\" without a camera", async () => (await state()).camera === "absent", 10000);
// The stand-in is published once a second, so a server started just after
// the wait began has it within that second.
let snapshot;
await until("the stand-in picture was not served", async () => {
  snapshot = await fetch(url + "snapshot.jpg", { signal: AbortSignal.timeout(3000) });
  return snapshot.status === 200;
}, 5000);
const size = jpegSize(new Uint8Array(await snapshot.arrayBuffer()));
if (!size || size.width !== 1024 || size.height !== 768) fail("the stand-in is not 1024x768: " + JSON.stringify(size));
// Past the moment the desktop would have shown its box: still serving, told once.
await sleep(2500);
if ((await state()).camera !== "absent") fail("the camera came without being plugged in");
if ((stderr.match(/no camera/g) || []).length !== 1) fail("the missing camera was not told exactly once");

writeFileSync(plug, "");
await until("the camera was not taken up once plugged in", async () => {
  const s = await state();
  return s.camera === "present" && s.fps > 1;
}, 15000);
if (!/live picture again/.test(stderr)) fail("the camera's arrival was not told");

console.log("no camera: served the stand-in, waited without a box, went live when the camera appeared");
finish(0);

// The page's behaviour: the live picture, the panel built from /api/layout,
// its looks and the heading's state following /api/state, the scan buttons,
// and recovery when the program goes away and comes back.
"use strict";

const token = new URLSearchParams(location.search).get("token");
const withToken = (path) => (token ? path + (path.includes("?") ? "&" : "?") + "token=" + encodeURIComponent(token) : path);
const live = document.getElementById("live");
const video = document.getElementById("live-video");
const pictureMode = document.getElementById("picture-mode");
const panel = document.getElementById("panel");
const message = document.getElementById("message");
const stateBadge = document.getElementById("state");
const connection = document.getElementById("connection");
const looks = new Map();
const kPollMs = 250;
const kRequestTimeoutMs = 3000;
const kRetryMs = 2000;

// A request that takes longer than this is taken as lost, so a stalled
// connection cannot stop the polling for good.
function fetchBounded(path, options = {}) {
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), kRequestTimeoutMs);
  return fetch(withToken(path), { ...options, signal: abort.signal }).finally(() => clearTimeout(timer));
}

// The picture's kind, as the viewer last chose it on this browser: smooth
// (H.264) unless the browser cannot play it, sharp (JPEG) on request.
const kPictureKey = "tavrocam.picture";
let smoothBroken = !SmoothPicture.supported();
let smooth = null;
function wantSmooth() {
  let chosen = "h264";
  try {
    chosen = localStorage.getItem(kPictureKey) || "h264";
  } catch {}
  return chosen !== "jpeg" && !smoothBroken;
}

let streamStarts = 0;
function startStream() {
  streamStarts += 1;
  const nth = streamStarts > 1 ? "?n=" + streamStarts : "";
  if (smooth) smooth.stop();
  smooth = null;
  const useSmooth = wantSmooth();
  pictureMode.value = useSmooth ? "h264" : "jpeg";
  live.hidden = useSmooth;
  video.hidden = !useSmooth;
  if (!useSmooth) {
    // A new address each time: the browser would otherwise keep the broken stream.
    live.src = withToken(live.dataset.stream + nth);
    return;
  }
  live.removeAttribute("src");
  const session = SmoothPicture.start(video, withToken(video.dataset.stream + nth), (decodeFailed) => {
    if (smooth !== session) return;
    smooth = null;
    // The browser cannot decode it: the sharp picture for this visit.
    if (decodeFailed) {
      smoothBroken = true;
      startStream();
    } else {
      retryStream();
    }
  });
  smooth = session;
}

pictureMode.addEventListener("change", () => {
  try {
    localStorage.setItem(kPictureKey, pictureMode.value);
  } catch {}
  if (pictureMode.value === "h264") smoothBroken = !SmoothPicture.supported();
  startStream();
});

let connected = true;
function setConnected(now) {
  if (now === connected) return;
  connected = now;
  connection.hidden = now;
  document.body.classList.toggle("lost", !now);
  if (now) startStream();
}

// A stream that broke while the state still answers (too many viewers, a
// restart between two polls) is tried again, not at every poll.
let streamRetry = null;
function retryStream() {
  if (streamRetry !== null) return;
  streamRetry = setTimeout(() => {
    streamRetry = null;
    if (connected) startStream();
  }, kRetryMs);
}
live.addEventListener("error", () => {
  if (!live.hidden) retryStream();
});

for (const id of ["snap-jpg", "snap-bmp"]) {
  const link = document.getElementById(id);
  link.href = withToken(link.getAttribute("href"));
}

function send(kind, id) {
  // The header tells the server the request came from this page's script,
  // which a form or image on another site cannot add.
  return fetchBounded("/api/" + kind + "/" + id, { method: "POST", keepalive: true, headers: { "X-Tavrocam": "1" } })
    .then((r) =>
      r.json().then((j) => {
        message.textContent = !r.ok || j.ok === false ? j.error || j.reason || "" : "";
      })
    )
    .catch(() => {
      message.textContent = "The camera is not answering.";
    })
    .finally(poll);
}

// Scanning from the page: the desktop's P, Backspace and Enter. The
// session's progress comes from /api/scan; a finished document is offered
// as a link, and the buttons rest while the document is being written.
const scanButtons = { page: "scan-add", undo: "scan-undo", finish: "scan-finish" };
const scanCount = document.getElementById("scan-count");
const scanNote = document.getElementById("scan-note");
const scanPdf = document.getElementById("scan-pdf");
const kScanRefusalMs = 4000;
let scan = { pages: 0, states: [], read: 0, finishing: false, document: null, finish_error: null };
let scanSending = false;
// Why the last button did nothing, shown for a while over the progress.
let scanRefusal = { text: "", until: 0 };

function restScanButtons() {
  const resting = scanSending || scan.finishing;
  document.getElementById("scan-add").disabled = resting;
  document.getElementById("scan-undo").disabled = resting || scan.pages === 0;
  document.getElementById("scan-finish").disabled = resting || scan.pages === 0;
}

function showScan(s) {
  scan = s;
  scanCount.textContent = s.pages + (s.pages === 1 ? " page" : " pages");
  scanCount.dataset.states = s.states.join(",");
  restScanButtons();
  if (Date.now() < scanRefusal.until) scanNote.textContent = scanRefusal.text;
  else if (s.finishing) scanNote.textContent = "Finishing: " + s.read + " of " + s.pages + " pages read";
  else if (s.finish_error) scanNote.textContent = s.finish_error;
  else if (s.read < s.pages) scanNote.textContent = s.read + " of " + s.pages + " pages read";
  else scanNote.textContent = "";
  scanPdf.hidden = !s.document;
  if (s.document) {
    scanPdf.textContent = s.document;
    scanPdf.href = withToken("/scan/latest.pdf");
  }
}

function scanUnsettled() {
  return scan.finishing || scan.read < scan.pages;
}

let scanPolling = false;
function pollScan() {
  if (scanPolling) return;
  scanPolling = true;
  fetchBounded("/api/scan", { cache: "no-store" })
    .then((r) => (r.ok ? r.json().then(showScan) : null))
    .catch(() => {})
    .finally(() => {
      scanPolling = false;
    });
}

function refuseScan(text) {
  scanRefusal = { text, until: Date.now() + kScanRefusalMs };
  scanNote.textContent = text;
}

function sendScan(action) {
  scanSending = true;
  restScanButtons();
  fetchBounded("/api/scan/" + action, { method: "POST", headers: { "X-Tavrocam": "1" } })
    .then((r) =>
      r.json().then((j) => {
        scanSending = false;
        if (j.pages !== undefined) showScan(j);
        if (!r.ok) refuseScan(j.error || "not done");
      })
    )
    .catch(() => refuseScan("The camera is not answering."))
    .finally(() => {
      scanSending = false;
      restScanButtons();
    });
}

for (const [action, id] of Object.entries(scanButtons))
  document.getElementById(id).addEventListener("click", () => sendScan(action));

function setLook(id, look) {
  const entry = looks.get(id);
  if (!entry || entry.look === look) return;
  entry.look = look;
  if (entry.img) entry.img.src = withToken("/img/button-" + id + "-" + look + ".png");
  entry.button.dataset.look = look;
}

function describe(c) {
  return c.tooltip || c.caption || "";
}

function addButton(c, into) {
  const button = document.createElement("button");
  button.type = "button";
  button.id = "b" + c.id;
  button.dataset.id = c.id;
  button.title = describe(c);
  button.setAttribute("aria-label", describe(c));
  let img = null;
  if (c.caption) {
    // Caption keys are drawn by the browser so that they grow to a finger's
    // size without stretching their text.
    button.className = "key";
    button.textContent = c.caption;
  } else {
    button.className = "picture";
    img = document.createElement("img");
    img.alt = "";
    img.style.aspectRatio = c.w + " / " + c.h;
    button.appendChild(img);
  }
  looks.set(c.id, { button, img, look: "" });
  setLook(c.id, "raised");
  if (c.action === "hold") {
    let held = false;
    const release = () => {
      if (held) {
        held = false;
        send("up", c.id);
      }
    };
    button.addEventListener("pointerdown", (e) => {
      e.preventDefault();
      button.setPointerCapture(e.pointerId);
      held = true;
      send("down", c.id);
    });
    button.addEventListener("pointerup", release);
    button.addEventListener("pointercancel", release);
    button.addEventListener("lostpointercapture", release);
    document.addEventListener("visibilitychange", () => {
      if (document.hidden) release();
    });
    window.addEventListener("pagehide", release);
    button.addEventListener("contextmenu", (e) => e.preventDefault());
  } else if (c.action === "save") {
    // Saving opens a file dialog on the desktop; here the picture is downloaded.
    button.title = "Download a snapshot of the picture";
    button.addEventListener("click", () => {
      document.getElementById("snap-jpg").click();
    });
  } else if (c.action === "print" || c.action === "movie") {
    button.disabled = true;
    button.title = describe(c) + " (only on the desktop)";
  } else {
    button.addEventListener("click", () => send("click", c.id));
  }
  into.appendChild(button);
}

// Numbered keys come in runs from "1" (presets, slots); each run gets a label
// from its keys' tooltips, "Recall slot 3" giving "Recall slot".
function runLabel(c) {
  const text = (c.tooltip || "").replace(/\s*\d+/, "");
  const label = document.createElement("span");
  label.className = "label";
  label.textContent = text;
  return label;
}

function build(layout) {
  panel.replaceChildren();
  looks.clear();
  let group = null;
  for (const c of layout.controls) {
    if (c.kind !== "button" || !c.visible) continue;
    const numbered = /^\d+$/.test(c.caption);
    if (!group || (numbered && c.caption === "1") || (!numbered && group.numbered)) {
      group = { numbered, element: document.createElement("div") };
      group.element.className = "group";
      if (numbered) group.element.appendChild(runLabel(c));
      panel.appendChild(group.element);
    }
    addButton(c, group.element);
  }
}

function showState(s) {
  let state = "live";
  if (s.camera === "absent") state = "no camera";
  else if (s.recording) state = "recording";
  else if (s.frozen) state = "frozen";
  stateBadge.textContent = state;
  stateBadge.dataset.state = state;
  document.getElementById("status").textContent =
    s.width + " x " + s.height + (s.frozen ? ", frozen" : "") + (s.recording ? ", recording" : "") + ", " + s.fps + " fps";
}

let polling = false;
function poll() {
  if (polling) return;
  polling = true;
  fetchBounded("/api/state", { cache: "no-store" })
    .then((r) => {
      // 503: the program answers but its desktop was busy; nothing to show this time.
      if (r.status === 503) return null;
      if (!r.ok) throw new Error("state " + r.status);
      return r.json();
    })
    .then((s) => {
      setConnected(true);
      if (!s) return;
      if (s.buttons) for (const [id, look] of Object.entries(s.buttons)) setLook(Number(id), look);
      showState(s);
    })
    .catch(() => {
      setConnected(false);
    })
    .finally(() => {
      polling = false;
    });
}

function loadLayout() {
  fetchBounded("/api/layout")
    .then((r) => {
      if (!r.ok) throw new Error("layout " + r.status);
      return r.json();
    })
    .then(build)
    .then(poll)
    .catch(() => {
      setConnected(false);
      setTimeout(loadLayout, kRetryMs);
    });
}

startStream();
loadLayout();
pollScan();
// The scan's progress at the state's pace while pages are read, else once a second.
let scanTicks = 0;
setInterval(() => {
  poll();
  scanTicks += 1;
  if (scanUnsettled() || scanTicks % 4 === 0) pollScan();
}, kPollMs);

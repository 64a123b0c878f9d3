#include "server/web_page.h"

namespace server {

namespace {

// Everything the page needs is in here or served by the program; it loads
// nothing from elsewhere. The panel is built from /api/layout, its looks
// follow /api/state, polled four times a second.
constexpr std::string_view kPage = R"HTML(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>TAVROCAM</title>
<style>
  html, body { margin: 0; background: #1d2024; color: #dde; font: 14px sans-serif; }
  main { max-width: 1100px; margin: 0 auto; padding: 8px; display: flex; flex-wrap: wrap; gap: 12px; align-items: flex-start; }
  #view { flex: 3 1 480px; min-width: 0; }
  #live { width: 100%; display: block; background: #000; aspect-ratio: 4 / 3; }
  #panel-box { flex: 1 1 240px; max-width: 420px; margin: 0 auto; }
  #panel { position: relative; width: 100%; background-size: 100% 100%; touch-action: none; user-select: none; -webkit-user-select: none; }
  #panel button { position: absolute; padding: 0; border: 0; background: transparent; touch-action: none; cursor: pointer; }
  #panel button img { width: 100%; height: 100%; display: block; pointer-events: none; }
  #panel button:disabled { opacity: .45; cursor: default; }
  #bar { display: flex; gap: 12px; align-items: center; flex-wrap: wrap; margin-top: 6px; }
  #bar a { color: #9cf; }
  #status { opacity: .8; }
  #message { color: #fc9; min-height: 1.2em; }
</style>
</head>
<body>
<main>
  <section id="view">
    <img id="live" alt="live picture">
    <div id="bar">
      <a id="snap-jpg" href="/snapshot.jpg" download="snapshot.jpg">Snapshot (JPEG)</a>
      <a id="snap-bmp" href="/snapshot.bmp" download="snapshot.bmp">Snapshot (BMP)</a>
      <span id="status"></span>
    </div>
    <div id="message"></div>
  </section>
  <section id="panel-box"><div id="panel" aria-label="REMOCON"></div></section>
</main>
<script>
"use strict";
const token = new URLSearchParams(location.search).get("token");
const withToken = (path) => token ? path + (path.includes("?") ? "&" : "?") + "token=" + encodeURIComponent(token) : path;
const panel = document.getElementById("panel");
const message = document.getElementById("message");
const looks = new Map();

document.getElementById("live").src = withToken("/stream.mjpg");
for (const id of ["snap-jpg", "snap-bmp"]) {
  const link = document.getElementById(id);
  link.href = withToken(link.getAttribute("href"));
}

function send(kind, id) {
  return fetch(withToken("/api/" + kind + "/" + id), {method: "POST", keepalive: true, headers: {"X-Tavrocam": "1"}})
    .then((r) => r.json().then((j) => { if (!r.ok || j.ok === false) message.textContent = j.error || j.reason || ""; else message.textContent = ""; }))
    .catch(() => { message.textContent = "The camera is not answering."; })
    .finally(poll);
}

function setLook(id, look) {
  const entry = looks.get(id);
  if (!entry || entry.look === look) return;
  entry.look = look;
  entry.img.src = withToken("/img/button-" + id + "-" + look + ".png");
  entry.button.dataset.look = look;
}

function addButton(c, scale) {
  const button = document.createElement("button");
  button.type = "button";
  button.id = "b" + c.id;
  button.dataset.id = c.id;
  button.title = c.caption || String(c.id);
  button.setAttribute("aria-label", c.caption || String(c.id));
  Object.assign(button.style, {
    left: (100 * c.x / scale.width) + "%", top: (100 * c.y / scale.height) + "%",
    width: (100 * c.w / scale.width) + "%", height: (100 * c.h / scale.height) + "%"
  });
  const img = document.createElement("img");
  img.alt = "";
  button.appendChild(img);
  looks.set(c.id, {button, img, look: ""});
  setLook(c.id, "raised");
  if (c.action === "hold") {
    let held = false;
    const release = () => { if (held) { held = false; send("up", c.id); } };
    button.addEventListener("pointerdown", (e) => {
      e.preventDefault();
      button.setPointerCapture(e.pointerId);
      held = true;
      send("down", c.id);
    });
    button.addEventListener("pointerup", release);
    button.addEventListener("pointercancel", release);
    button.addEventListener("lostpointercapture", release);
    document.addEventListener("visibilitychange", () => { if (document.hidden) release(); });
    window.addEventListener("pagehide", release);
  } else if (c.action === "save") {
    // Saving opens a file dialog on the desktop; here the picture is downloaded.
    button.title = "Snapshot download";
    button.addEventListener("click", () => { document.getElementById("snap-jpg").click(); });
  } else if (c.action === "print" || c.action === "movie") {
    button.disabled = true;
    button.title = "Only on the desktop";
  } else {
    button.addEventListener("click", () => send("click", c.id));
  }
  panel.appendChild(button);
}

function build(layout) {
  panel.style.aspectRatio = layout.width + " / " + layout.height;
  panel.style.backgroundImage = "url('" + withToken("/img/panel.png") + "')";
  for (const c of layout.controls)
    if (c.kind === "button" && c.visible) addButton(c, layout);
}

let polling = false;
function poll() {
  if (polling) return;
  polling = true;
  fetch(withToken("/api/state"), {cache: "no-store"})
    .then((r) => r.json())
    .then((s) => {
      if (s.buttons) for (const [id, look] of Object.entries(s.buttons)) setLook(Number(id), look);
      document.getElementById("status").textContent =
        s.width + " x " + s.height + (s.frozen ? ", frozen" : "") + (s.recording ? ", recording" : "") + ", " + s.fps + " fps";
    })
    .catch(() => {})
    .finally(() => { polling = false; });
}

fetch(withToken("/api/layout")).then((r) => r.json()).then(build).then(poll);
setInterval(poll, 250);
</script>
</body>
</html>
)HTML";

}  // namespace

std::string_view WebPageHtml() { return kPage; }

}  // namespace server

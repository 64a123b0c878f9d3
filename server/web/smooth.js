// The smooth picture: /stream.mp4 (H.264 in fragmented MP4) through Media
// Source Extensions, or the managed media source where the browser has
// that instead, held near the live edge. app.js decides when it plays and
// falls back to the JPEG stream when this reports a failure.
"use strict";

const SmoothPicture = (() => {
  const kType = 'video/mp4; codecs="avc1.42E01F"';
  // Further behind than this, the player jumps forward; it lands this far
  // from the newest picture so that it does not stall at once.
  const kMaxBehind = 0.5;
  const kLandBehind = 0.1;
  const Source = window.ManagedMediaSource || window.MediaSource;

  function supported() {
    return !!Source && typeof Source.isTypeSupported === "function" && Source.isTypeSupported(kType);
  }

  // One session per start: its fetch, its source and its queue of bytes.
  // `onEnd(decodeFailed)` runs once when it breaks.
  function start(video, url, onEnd) {
    const abort = new AbortController();
    const source = new Source();
    const session = { stopped: false, buffer: null, queue: [] };
    const end = (decodeFailed) => {
      if (session.stopped) return;
      stop();
      onEnd(decodeFailed);
    };
    const stop = () => {
      session.stopped = true;
      abort.abort();
      clearInterval(edgeTimer);
      video.removeEventListener("error", onVideoError);
      video.removeAttribute("src");
      video.load();
    };
    const onVideoError = () => end(true);
    video.addEventListener("error", onVideoError);
    video.disableRemotePlayback = true;  // the managed source plays only so
    video.muted = true;
    video.src = URL.createObjectURL(source);

    const pump = () => {
      const buffer = session.buffer;
      if (session.stopped || !buffer || buffer.updating) return;
      if (session.queue.length === 0) {
        // Keep a few seconds behind the player, not the whole lesson.
        if (buffer.buffered.length && video.currentTime - buffer.buffered.start(0) > 20)
          buffer.remove(0, video.currentTime - 5);
        return;
      }
      const size = session.queue.reduce((n, part) => n + part.length, 0);
      const bytes = new Uint8Array(size);
      let at = 0;
      for (const part of session.queue) {
        bytes.set(part, at);
        at += part.length;
      }
      session.queue = [];
      try {
        buffer.appendBuffer(bytes);
      } catch (e) {
        end(e.name !== "QuotaExceededError");
      }
    };

    const keepAtEdge = () => {
      const buffered = video.buffered;
      if (!buffered.length) return;
      const edge = buffered.end(buffered.length - 1);
      let behind = edge - video.currentTime;
      // Stalled in a gap, or further back than a glance: to the edge.
      if (behind > kMaxBehind || video.currentTime < buffered.start(buffered.length - 1)) {
        video.currentTime = Math.max(buffered.start(buffered.length - 1), edge - kLandBehind);
        behind = edge - video.currentTime;
      }
      video.dataset.behind = behind.toFixed(3);
      if (video.paused) video.play().catch(() => {});
    };
    const edgeTimer = setInterval(keepAtEdge, 250);

    source.addEventListener(
      "sourceopen",
      () => {
        URL.revokeObjectURL(video.src);
        try {
          session.buffer = source.addSourceBuffer(kType);
        } catch {
          end(true);
          return;
        }
        session.buffer.addEventListener("updateend", () => {
          keepAtEdge();
          pump();
        });
        session.buffer.addEventListener("error", () => end(true));
        read();
      },
      { once: true }
    );

    async function read() {
      try {
        const reply = await fetch(url, { signal: abort.signal, cache: "no-store" });
        if (!reply.ok || !reply.body) throw new Error("stream " + reply.status);
        const reader = reply.body.getReader();
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          session.queue.push(value);
          pump();
        }
        end(false);
      } catch {
        end(false);
      }
    }

    return { stop };
  }

  return { supported, start };
})();

// The program started with --serve by a test: the address it serves at, as
// it prints it once listening.
//
// `child` is the spawned program with its standard output piped; `ended`
// is called with the exit code if it ends, before serving or after.
export function servedUrl(child, ended) {
  return new Promise((resolve) => {
    let text = "";
    child.stdout.on("data", (d) => {
      text += d;
      const m = text.match(/serving the camera at (http:\/\/\S+)/);
      if (m) resolve(m[1]);
    });
    child.on("exit", ended);
  });
}

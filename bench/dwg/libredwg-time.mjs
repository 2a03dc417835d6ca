#!/usr/bin/env node
// Times LibreDWG's reading of DWG files (its WebAssembly build, npm
// @mlightcad/libredwg-web: a reader that is not ours, the nearest one to a
// native dwgread that Debian and npm offer). For each file: the median of
// RUNS reads with the module loaded once (the reading itself), one line
//   FILE ms-per-read error-code
// With --once, loads the module, reads the single file given and exits: the
// whole process, for timing from outside as dwginfo is.
// The package is found in LIBREDWG_WEB_DIR (default build/bench-libredwg).
import { readFileSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { pathToFileURL, fileURLToPath } from 'node:url';

const args = process.argv.slice(2);
const once = args[0] === '--once';
const files = once ? args.slice(1) : args;
const runs = Number(process.env.RUNS ?? 9);
if (files.length === 0 || (once && files.length !== 1)) {
  console.error('uso: libredwg-time.mjs [--once] ARQUIVO.dwg...');
  process.exit(2);
}
const here = dirname(fileURLToPath(import.meta.url));
const packageDir = join(process.env.LIBREDWG_WEB_DIR ?? join(here, '..', '..', 'build', 'bench-libredwg'),
                        'node_modules', '@mlightcad', 'libredwg-web');
const { default: createModule } = await import(pathToFileURL(join(packageDir, 'wasm', 'libredwg-web.js')));
const module = await createModule({ print: () => {}, printErr: () => {} });

function readOnce(bytes) {
  module.FS.writeFile('timed.dwg', bytes);
  const result = module.dwg_read_file('timed.dwg');
  module.FS.unlink('timed.dwg');
  if (result.data) module.dwg_free(result.data);
  return result.error >>> 0;
}

for (const path of files) {
  const bytes = new Uint8Array(readFileSync(path));
  if (once) {
    readOnce(bytes);
    break;
  }
  const times = [];
  let error = 0;
  for (let i = 0; i < runs; ++i) {
    const start = process.hrtime.bigint();
    error = readOnce(bytes);
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  times.sort((a, b) => a - b);
  console.log(`${path} ${times[Math.floor(times.length / 2)].toFixed(2)} ${error}`);
}

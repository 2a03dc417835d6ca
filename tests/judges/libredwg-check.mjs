#!/usr/bin/env node
// Reads every DWG file named on the command line with LibreDWG (its
// WebAssembly build, a reader that is not ours) and prints one line per file:
//   ok FILE {"error":0,"entities":{"LINE":3,...}}
//   errors FILE {"error":17,"bits":["WRONGCRC","INVALIDHANDLE"],...}
//   critical FILE {...}
//   unreadable FILE {"message":"..."}
// A file passes when LibreDWG finds no critical error (bit 128 and up) and
// neither a CRC nor a handle error; other bits are listed but do not fail it.
// Exit status: 0 when every file passes, 1 otherwise, 2 on bad usage.
//
// The package is found in the folder LIBREDWG_WEB_DIR names, else in
// build/judges/libredwg, where tests/judges/install-libredwg.sh puts it.
import { readFileSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { pathToFileURL, fileURLToPath } from 'node:url';

const kBits = [
  [1, 'WRONGCRC'], [2, 'NOTYETSUPPORTED'], [4, 'UNHANDLEDCLASS'], [8, 'INVALIDTYPE'],
  [16, 'INVALIDHANDLE'], [32, 'INVALIDEED'], [64, 'VALUEOUTOFBOUNDS'],
  [128, 'CLASSESNOTFOUND'], [256, 'SECTIONNOTFOUND'], [512, 'PAGENOTFOUND'],
  [1024, 'INTERNALERROR'], [2048, 'INVALIDDWG'], [4096, 'IOERROR'], [8192, 'OUTOFMEM'],
];
const kCritical = 128;
const kFailing = 1 | 16;  // WRONGCRC, INVALIDHANDLE

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('uso: libredwg-check.mjs ARQUIVO.dwg...');
  process.exit(2);
}

const here = dirname(fileURLToPath(import.meta.url));
const packageDir = join(process.env.LIBREDWG_WEB_DIR ?? join(here, '..', '..', 'build', 'judges', 'libredwg'),
                        'node_modules', '@mlightcad',
                        'libredwg-web');
const { default: createModule } = await import(pathToFileURL(join(packageDir, 'wasm', 'libredwg-web.js')));

let module = null;
async function freshModule() {
  module = await createModule({ print: () => {}, printErr: () => {} });
}

function judge(path) {
  const bytes = readFileSync(path);
  const name = 'judged.dwg';
  module.FS.writeFile(name, new Uint8Array(bytes));
  let result;
  try {
    result = module.dwg_read_file(name);
  } finally {
    module.FS.unlink(name);
  }
  const error = result.error >>> 0;
  const entities = {};
  const data = result.data;
  if (data && error < kCritical) {
    const count = module.dwg_get_num_objects(data);
    for (let i = 0; i < count; ++i) {
      const object = module.dwg_get_object(data, i);
      if (!object || module.dwg_object_get_supertype(object) !== 0) continue;
      const kind = module.dwg_object_get_dxfname(object) || `TYPE_${module.dwg_object_get_type(object)}`;
      entities[kind] = (entities[kind] ?? 0) + 1;
    }
  }
  if (data) module.dwg_free(data);
  const bits = kBits.filter(([bit]) => error & bit).map(([, label]) => label);
  const status = error >= kCritical ? 'critical' : (error & kFailing) ? 'errors' : 'ok';
  return { status, report: { error, bits, entities } };
}

let failed = 0;
await freshModule();
for (const path of files) {
  let line;
  try {
    const { status, report } = judge(path);
    if (status !== 'ok') ++failed;
    line = `${status} ${path} ${JSON.stringify(report)}`;
  } catch (e) {
    // An abort inside the WebAssembly module leaves it unusable: start a new one.
    ++failed;
    line = `unreadable ${path} ${JSON.stringify({ message: String(e?.message ?? e) })}`;
    await freshModule();
  }
  console.log(line);
}
process.exit(failed ? 1 : 0);

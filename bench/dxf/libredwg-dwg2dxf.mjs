// LibreDWG's DWG to DXF conversion, run from its WebAssembly build on npm
// (@mlightcad/libredwg-web, installed by bench/dxf/install-libredwg-web.sh):
// the other side of the DXF writer's whole-process comparison.
//   node libredwg-dwg2dxf.mjs DRAWING.dwg OUTPUT.dxf
// Prints on stderr how long the conversion itself took, without loading and
// compiling the WebAssembly module. Exit status 1 when LibreDWG writes no DXF.
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const modules = process.env.LIBREDWG_WEB_MODULES ?? join(here, "../../build/npm-libredwg/node_modules");
const { LibreDwg } = await import(join(modules, "@mlightcad/libredwg-web/dist/libredwg-web.js"));
const [input, output] = process.argv.slice(2);
const libredwg = await LibreDwg.create(join(modules, "@mlightcad/libredwg-web/wasm"));
const bytes = readFileSync(input);
const start = performance.now();
const dxf = libredwg.dwg_write_dxf(bytes);
console.error(`conversão: ${(performance.now() - start).toFixed(1)} ms`);
if (!dxf) process.exit(1);
writeFileSync(output, dxf);

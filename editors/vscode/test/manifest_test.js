// The extension's package.json against the files around it: the files it
// names exist, the settings extension.js reads are the ones it declares,
// and the debugger's configurations agree with its attributes, its type and
// its language. Needs node only.
//   node manifest_test.js
'use strict';
const fs = require('fs');
const path = require('path');

const folder = path.join(__dirname, '..');
const failures = [];
const check = (ok, message) => { if (!ok) failures.push(message); };
const read = (name) => fs.readFileSync(path.join(folder, name), 'utf8');

let manifest;
try {
  manifest = JSON.parse(read('package.json'));
} catch (error) {
  console.log(`package.json: ${error.message}`);
  process.exit(1);
}
const extension = read('extension.js');
const contributes = manifest.contributes || {};

for (const field of ['name', 'version', 'publisher', 'license', 'main']) {
  check(typeof manifest[field] === 'string' && manifest[field] !== '', `package.json has no ${field}`);
}
check(manifest.engines && /^\^1\.\d+\.\d+$/.test(manifest.engines.vscode), 'engines.vscode is not ^1.x.y');
check(manifest.repository && typeof manifest.repository.url === 'string', 'package.json has no repository url');
// The published manifest names the public repository: never a local path
// or a URL with credentials, and package.sh does not replace it.
check(/^https:\/\/[^/@]+\//.test((manifest.repository || {}).url || ''), 'the repository url is not a public https URL');
check(!/remote get-url|repository\.url\s*=/.test(read('package.sh')), 'package.sh rewrites the repository url');
check(fs.existsSync(path.join(folder, manifest.main)), `main ${manifest.main} is missing`);
check(fs.existsSync(path.join(folder, '..', '..', 'LICENSE')), 'the LICENSE package.sh copies is missing');

// Languages and grammars: their files exist, grammars name a contributed language.
const languages = new Set((contributes.languages || []).map((l) => l.id));
check(languages.has('stackasm'), 'the language stackasm is not contributed');
for (const l of contributes.languages || []) {
  check(fs.existsSync(path.join(folder, l.configuration)), `language configuration ${l.configuration} is missing`);
}
for (const g of contributes.grammars || []) {
  check(languages.has(g.language), `grammar ${g.path} is for the unknown language ${g.language}`);
  check(fs.existsSync(path.join(folder, g.path)), `grammar ${g.path} is missing`);
}

// Settings: each one read is declared, each one declared is read.
const properties = contributes.configuration.properties;
const read_settings = [...extension.matchAll(/\.get\('(\w+)'\)/g)].map((m) => `stackasm.${m[1]}`);
check(read_settings.length >= 3, 'extension.js reads fewer than three settings');
for (const name of read_settings) check(name in properties, `extension.js reads the undeclared setting ${name}`);
for (const name of Object.keys(properties)) {
  check(read_settings.includes(name), `the setting ${name} is declared but never read`);
  check(typeof properties[name].description === 'string', `the setting ${name} has no description`);
}
check(properties['stackasm.debugAdapterPath'] && properties['stackasm.debugAdapterPath'].default === 'debug-adapter',
  'stackasm.debugAdapterPath does not default to debug-adapter');

// The debugger: one of type stackasm for the language, registered by that
// type in extension.js and activated by it.
const debuggers = contributes.debuggers || [];
check(debuggers.length === 1, `${debuggers.length} debuggers contributed, not 1`);
const debug = debuggers[0] || {};
const type = debug.type;
check(type === 'stackasm', `the debugger's type is ${type}`);
for (const l of debug.languages || []) check(languages.has(l), `the debugger names the unknown language ${l}`);
check((debug.languages || []).includes('stackasm'), 'the debugger is not for stackasm');
const breakpoints = (contributes.breakpoints || []).map((b) => b.language);
check(breakpoints.includes('stackasm'), 'breakpoints are not allowed in stackasm');
for (const l of breakpoints) check(languages.has(l), `breakpoints allowed in the unknown language ${l}`);
for (const call of ['registerDebugConfigurationProvider', 'registerDebugAdapterDescriptorFactory']) {
  check(extension.includes(`${call}('${type}'`), `extension.js does not call ${call} for ${type}`);
}
check((manifest.activationEvents || []).includes(`onDebugResolve:${type}`), `no onDebugResolve:${type} activation`);

// Launch configurations: the required attributes, only declared ones, each
// of its declared JSON type (a snippet's "^\"...\"" is a string).
const launch = (debug.configurationAttributes || {}).launch || {};
const declared = launch.properties || {};
for (const name of ['program', 'stopOnEntry', 'keys', 'cwd']) check(name in declared, `no launch attribute ${name}`);
check((launch.required || []).includes('program'), 'program is not required');
const typeOf = (value) => (typeof value === 'string' && value.startsWith('^"') ? 'string' : typeof value);
const configurations = [
  ...(debug.initialConfigurations || []).map((c) => ['initial configuration', c]),
  ...(debug.configurationSnippets || []).map((s) => [`snippet "${s.label}"`, s.body]),
];
check(configurations.length >= 2, 'fewer than two launch configurations offered');
for (const [where, c] of configurations) {
  check(c.type === type && c.request === 'launch', `${where}: not a launch of type ${type}`);
  check(typeof c.name === 'string', `${where}: no name`);
  for (const name of launch.required || []) check(name in c, `${where}: no ${name}`);
  check(/\$\{file\}/.test(c.program), `${where}: the program is not the current file`);
  for (const [name, value] of Object.entries(c)) {
    if (['type', 'request', 'name'].includes(name)) continue;
    check(name in declared, `${where}: undeclared attribute ${name}`);
    if (name in declared) check(typeOf(value) === declared[name].type, `${where}: ${name} is not a ${declared[name].type}`);
  }
}
// The configuration F5 makes without a launch.json uses declared attributes.
const made = /Object\.assign\(config, \{([^}]*)\}/.exec(extension);
check(made !== null, 'extension.js makes no configuration for F5');
if (made) {
  for (const m of made[1].matchAll(/(\w+):/g)) {
    check(['type', 'request', 'name'].includes(m[1]) || m[1] in declared, `F5's configuration has the undeclared ${m[1]}`);
  }
}

// Packaging: tests stay out of the .vsix, npm's leftovers out of git.
const ignored = read('.vscodeignore').split('\n');
check(ignored.includes('test/**'), '.vscodeignore keeps the tests in');
const gitignore = read('.gitignore').split('\n');
for (const entry of ['node_modules/', 'package-lock.json', '*.vsix']) check(gitignore.includes(entry), `.gitignore lacks ${entry}`);

for (const f of failures) console.log(`package.json: ${f}`);
console.log(`manifest: ${configurations.length} launch configurations, ${Object.keys(properties).length} settings, ${failures.length} problems`);
process.exit(failures.length === 0 ? 0 : 1);

// Starts language-server for the documents of the stackasm language and
// stops it with the editor (the client adds --stdio to the command line),
// and starts debug-adapter for each debugging session of type stackasm.
// A platform package carries both programs in its bin/; a path set in the
// settings comes first, then those, then the programs on PATH.
const fs = require('fs');
const path = require('path');
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;
let extensionPath = '';

// The program a setting names: a configured path, else the bundled program,
// else the name for PATH.
function program(configured, name) {
  if (configured && configured !== name) return configured;
  const bundled = path.join(extensionPath, 'bin', name);
  return fs.existsSync(bundled) ? bundled : name;
}

// F5 without a launch.json: the open .asm file, stopped at its first
// instruction. A configuration without a program is refused with a message.
const configurations = {
  resolveDebugConfiguration(folder, config) {
    if (!config.type && !config.request && !config.name) {
      const editor = vscode.window.activeTextEditor;
      if (editor && editor.document.languageId === 'stackasm') {
        Object.assign(config, {
          type: 'stackasm', request: 'launch', name: 'Debug the current file',
          program: '${file}', cwd: '${fileDirname}', stopOnEntry: true,
        });
      }
    }
    if (!config.program) {
      vscode.window.showErrorMessage('Open an .asm file, or name the program in launch.json.');
      return undefined;
    }
    return config;
  },
};

const adapters = {
  createDebugAdapterDescriptor() {
    return new vscode.DebugAdapterExecutable(program(vscode.workspace.getConfiguration('stackasm').get('debugAdapterPath'), 'debug-adapter'), []);
  },
};

function activate(context) {
  extensionPath = context.extensionPath;
  context.subscriptions.push(
    vscode.debug.registerDebugConfigurationProvider('stackasm', configurations),
    vscode.debug.registerDebugAdapterDescriptorFactory('stackasm', adapters));
  const settings = vscode.workspace.getConfiguration('stackasm');
  const command = program(settings.get('serverPath'), 'language-server');
  client = new LanguageClient(
    'stackasm',
    'Stack machine assembly',
    { command, transport: TransportKind.stdio },
    {
      documentSelector: [{ language: 'stackasm' }],
      initializationOptions: { instructionHints: settings.get('instructionHints') === true },
    });
  // Debugging works without the server: a server that cannot start is said
  // once and does not fail the extension.
  return client.start().catch((error) => {
    vscode.window.showErrorMessage(`language-server could not start (${command}): ${error.message || error}`);
  });
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };

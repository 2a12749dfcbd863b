// Starts language-server for the documents of the stackasm language and
// stops it with the editor (the client adds --stdio to the command line),
// and starts debug-adapter for each debugging session of type stackasm.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

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
    const command = vscode.workspace.getConfiguration('stackasm').get('debugAdapterPath') || 'debug-adapter';
    return new vscode.DebugAdapterExecutable(command, []);
  },
};

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugConfigurationProvider('stackasm', configurations),
    vscode.debug.registerDebugAdapterDescriptorFactory('stackasm', adapters));
  const settings = vscode.workspace.getConfiguration('stackasm');
  const command = settings.get('serverPath') || 'language-server';
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

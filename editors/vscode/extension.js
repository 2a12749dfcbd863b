// Starts language-server for the documents of the stackasm language and
// stops it with the editor. The client adds --stdio to the command line.
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function activate() {
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
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };

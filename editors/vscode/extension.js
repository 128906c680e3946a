// Starts korva-lsp for KORVA files and connects it to VS Code.
'use strict';
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

let client;

function activate(context) {
  const settings = vscode.workspace.getConfiguration('korva');
  const command = settings.get('server.path') || 'korva-lsp';
  const initializationOptions = {};
  if (settings.get('chip')) initializationOptions.chip = settings.get('chip');
  if (settings.get('chipsDirectory')) initializationOptions.chipsDirectory = settings.get('chipsDirectory');
  client = new LanguageClient(
    'korva',
    'KORVA language server',
    { command, args: ['--stdio'], transport: TransportKind.stdio },
    {
      documentSelector: [{ scheme: 'file', language: 'korva' }],
      initializationOptions,
      synchronize: { fileEvents: vscode.workspace.createFileSystemWatcher('**/*.{amk,as,inc}') },
    });
  context.subscriptions.push({ dispose: () => client && client.stop() });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };

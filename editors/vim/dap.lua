-- debug-adapter in Neovim's nvim-dap plugin: put this file in
-- ~/.config/nvim/plugin/ (or require it from init.lua after nvim-dap).
-- Set vim.g.stackasm_debug_adapter first to give the program's full path.
-- :DapContinue (or require('dap').continue()) in a stackasm buffer then
-- debugs that file, stopped at its first instruction.
local ok, dap = pcall(require, 'dap')
if not ok then
  return
end

dap.adapters.stackasm = {
  type = 'executable',
  command = vim.g.stackasm_debug_adapter or 'debug-adapter',
}

dap.configurations.stackasm = {
  {
    type = 'stackasm',
    request = 'launch',
    name = 'Debug the current file',
    program = '${file}',
    cwd = '${fileDirname}',
    stopOnEntry = true,
  },
}

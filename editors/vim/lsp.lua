-- language-server in Neovim's own LSP client (Neovim 0.7 or later): put this
-- file in ~/.config/nvim/plugin/, or require it from init.lua. Set
-- vim.g.stackasm_language_server first to give the program's full path,
-- and vim.g.stackasm_instruction_hints = true for the instruction hints.
if vim.fn.has('nvim-0.7') == 0 then
  vim.notify('stackasm: the language server needs Neovim 0.7 or later', vim.log.levels.WARN)
  return
end

local client_id = nil

-- One server for every stackasm buffer: vim.lsp.start where it exists
-- (0.8 on), otherwise start_client once and attach each buffer.
local function attach(buffer)
  local config = {
    name = 'stackasm',
    cmd = { vim.g.stackasm_language_server or 'language-server' },
    root_dir = vim.fn.fnamemodify(vim.api.nvim_buf_get_name(buffer), ':p:h'),
    -- Clocks and stack effect behind each instruction, for clients that
    -- show inlay hints.
    init_options = { instructionHints = vim.g.stackasm_instruction_hints == true },
  }
  if vim.lsp.start then
    vim.lsp.start(config, { bufnr = buffer })
    return
  end
  local client = client_id and vim.lsp.get_client_by_id(client_id)
  if not client or client.is_stopped() then
    client_id = vim.lsp.start_client(config)
  end
  if client_id then
    vim.lsp.buf_attach_client(buffer, client_id)
  end
end

vim.api.nvim_create_autocmd('FileType', {
  pattern = 'stackasm',
  callback = function(args)
    attach(args.buf)
  end,
})

-- language-server in Neovim's own LSP client (Neovim 0.8 or later): put this
-- file in ~/.config/nvim/plugin/, or require it from init.lua. Set
-- vim.g.stackasm_language_server first to give the program's full path.
vim.api.nvim_create_autocmd('FileType', {
  pattern = 'stackasm',
  callback = function(args)
    vim.lsp.start({
      name = 'stackasm',
      cmd = { vim.g.stackasm_language_server or 'language-server' },
      root_dir = vim.fs.dirname(vim.api.nvim_buf_get_name(args.buf)),
    })
  end,
})

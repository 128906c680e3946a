-- A Neovim session with korva-lsp, run headless by run_neovim.sh: opens an
-- example project, makes a mistake, and checks the diagnostics, a hover, a
-- jump to a definition and a rename. Prints a transcript; exits 0 when
-- every check holds, 1 otherwise.
local server, folder = os.getenv('KORVA_LSP'), os.getenv('KORVA_PROJECT')
local file = folder .. '/blink16f877a.as'
local failures = 0

local function say(text) io.stdout:write(text .. '\n') end
local function check(ok, what)
  say((ok and 'ok   ' or 'FAIL ') .. what)
  if not ok then failures = failures + 1 end
end
local function finish()
  say(failures == 0 and 'all checks passed' or (failures .. ' check(s) failed'))
  vim.cmd(failures == 0 and 'qa!' or 'cq!')
end

vim.o.fileencodings = 'ucs-bom,cp932'
vim.cmd('edit ' .. vim.fn.fnameescape(file))
local buffer = vim.api.nvim_get_current_buf()
vim.bo[buffer].filetype = 'korva'
-- The mistake: TRISB becomes TRISX on line 9.
local line = vim.api.nvim_buf_get_lines(buffer, 8, 9, true)[1]
vim.api.nvim_buf_set_lines(buffer, 8, 9, true, { (line:gsub('TRISB', 'TRISX')) })

local client_id = vim.lsp.start_client({
  name = 'korva-lsp',
  cmd = { server },
  root_dir = folder,
  init_options = { chip = '16F877A' },
})
check(client_id ~= nil, 'korva-lsp started')
vim.lsp.buf_attach_client(buffer, client_id)
local client = vim.lsp.get_client_by_id(client_id)
vim.wait(10000, function() return client.initialized end, 20)

-- Diagnostics, published after the change.
vim.wait(10000, function() return #vim.diagnostic.get(buffer) > 0 end, 20)
local diagnostics = vim.diagnostic.get(buffer, { severity = vim.diagnostic.severity.ERROR })
for _, d in ipairs(vim.diagnostic.get(buffer)) do
  say(string.format('diagnostic %d:%d %s', d.lnum + 1, d.col + 1, d.message))
end
check(#diagnostics == 1 and diagnostics[1].lnum == 8 and diagnostics[1].col == 12,
  'one error, at TRISX (9:13)')
check(#diagnostics == 1 and diagnostics[1].message:find('TRISX', 1, true) ~= nil,
  'the error names TRISX')

local function at(row, column)
  return { textDocument = { uri = vim.uri_from_bufnr(buffer) },
           position = { line = row, character = column } }
end

-- Hover on PORTB (line 12).
local hover = client.request_sync('textDocument/hover', at(11, 10), 5000, buffer)
local text = hover and hover.result and hover.result.contents.value or ''
say('hover PORTB: ' .. text:gsub('\n', ' | '))
check(text:find('register at 0x006, bank 0', 1, true) ~= nil, 'hover tells the register and bank')

-- Definition of DELAY from its call on line 13.
local definition = client.request_sync('textDocument/definition', at(12, 9), 5000, buffer)
local target = definition and definition.result
if target and target[1] then target = target[1] end
say('definition DELAY: ' .. vim.inspect(target and target.range and target.range.start))
check(target ~= nil and target.range ~= nil and target.range.start.line == 18,
  'the definition of DELAY is SUB DELAY on line 19')

-- Rename DELAY to PAUSE, applied to the buffer.
local params = at(12, 9)
params.newName = 'PAUSE'
local rename = client.request_sync('textDocument/rename', params, 5000, buffer)
if rename and rename.result then vim.lsp.util.apply_workspace_edit(rename.result, 'utf-16') end
local lines = table.concat(vim.api.nvim_buf_get_lines(buffer, 0, -1, true), '\n')
local _, pauses = lines:gsub('PAUSE', '')
local _, delays = lines:gsub('DELAY', '')
say(string.format('after rename: %d PAUSE, %d DELAY', pauses, delays))
check(pauses == 3 and delays == 0, 'rename changed the definition and both calls')

-- A rename that would collide is refused.
params = at(12, 9)
params.newName = 'MAIN'
local refused = client.request_sync('textDocument/rename', params, 5000, buffer)
say('rename to MAIN: ' .. vim.inspect(refused and refused.err and refused.err.message))
check(refused ~= nil and refused.err ~= nil, 'a rename onto MAIN is refused')

client.stop()
vim.wait(5000, function() return client.is_stopped() end, 20)
finish()

-- Turns the rkcurl guide into a manual page: the introduction before NAME is left out and the
-- upper-case sections become the page's sections.
function Pandoc(doc)
  local blocks = {}
  local started = false
  for _, block in ipairs(doc.blocks) do
    if block.t == "Header" and block.level == 2 and pandoc.utils.stringify(block) == "NAME" then
      started = true
    end
    if started then
      if block.t == "Header" then block.level = block.level - 1 end
      table.insert(blocks, block)
    end
  end
  return pandoc.Pandoc(blocks, doc.meta)
end

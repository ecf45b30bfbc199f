-- Allocates ten million small tables: each iteration makes a node and links
-- it in front of a list; every sixteenth node the list is walked, its values
-- are added up and the list is dropped. Prints the total wrapped to a signed
-- 32-bit value, as the Kelvo program logs it.

local function wrap32(x)
  x = x % 0x100000000
  if x >= 0x80000000 then x = x - 0x100000000 end
  return x
end

local head = nil
local total = 0
for i = 0, 10000000 - 1 do
  head = {value = i, next = head}
  if i % 16 == 15 then
    local p = head
    while p ~= nil do
      total = total + p.value
      p = p.next
    end
    head = nil
  end
end
print(wrap32(total))

-- Builds a text of the numbers 0 to 199999, each followed by a comma, splits
-- it at the commas and looks up 300 numbers in it; prints the count of
-- pieces plus the sum of the (0-based) positions found. Lua strings are
-- immutable, so the text is built the way Lua programs build text: pieces
-- appended to a buffer table, joined once.

local function wrap32(x)
  x = x % 0x100000000
  if x >= 0x80000000 then x = x - 0x100000000 end
  return x
end

local buffer = {}
for i = 0, 200000 - 1 do
  buffer[#buffer + 1] = tostring(i)
  buffer[#buffer + 1] = ","
end
local s = table.concat(buffer)

local parts = {}
for piece in s:gmatch("[^,]+") do
  parts[#parts + 1] = piece
end

local total = #parts
for i = 0, 300 - 1 do
  local key = tostring(i * 661) .. ","
  total = total + (s:find(key, 1, true) - 1)
end
print(wrap32(total))

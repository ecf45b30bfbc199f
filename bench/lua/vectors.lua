-- Appends one million numbers to a table, then reads them all back by
-- index ten times. Prints the sum wrapped to a signed 32-bit value, as the
-- Kelvo program logs it.

local function wrap32(x)
  x = x % 0x100000000
  if x >= 0x80000000 then x = x - 0x100000000 end
  return x
end

local v = {}
for i = 0, 1000000 - 1 do
  v[#v + 1] = i * 3
end
local sum = 0
for r = 1, 10 do
  for i = 1, 1000000 do
    sum = sum + v[i]
  end
end
print(wrap32(sum))

-- Adds the numbers from 1 to 100000000 and prints the sum wrapped to a
-- signed 32-bit value, as the Kelvo program logs it.

local function wrap32(x)
  x = x % 0x100000000
  if x >= 0x80000000 then x = x - 0x100000000 end
  return x
end

local sum = 0
for i = 1, 100000000 do
  sum = sum + i
end
print(wrap32(sum))

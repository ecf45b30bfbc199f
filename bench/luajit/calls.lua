-- Ten million method calls on instances of two classes, alternately: the
-- twin of ../lua/calls.lua for LuaJIT, which has its bit operations in
-- the bit library instead of operators.

local Add = {}
Add.__index = Add

function Add.new(k)
  return setmetatable({k = k}, Add)
end

function Add:step(x)
  return x + self.k
end

local Xor = {}
Xor.__index = Xor

function Xor.new(k)
  return setmetatable({k = k}, Xor)
end

function Xor:step(x)
  return bit.bxor(x, self.k)
end

local a, b = Add.new(3), Xor.new(5)
local acc = 0
for i = 0, 10000000 - 1 do
  local o
  if bit.band(i, 1) == 0 then o = a else o = b end
  acc = o:step(acc)
end
print(acc)

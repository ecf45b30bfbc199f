-- bench/programs/fixed.kasm in Lua: the escape iterations of a grid of
-- 256 by 256 points around the Mandelbrot set, eight times over, in
-- floating point; prints 12792424.

local count = 0
for r = 0, 7 do
  for y = 0, 255 do
    local ci = y * (2.0 / 256) - 1.0
    for x = 0, 255 do
      local cr = x * (2.0 / 256) - 1.5
      local zr, zi = 0.0, 0.0
      local i = 0
      while i < 50 do
        local zr2 = zr * zr
        local zi2 = zi * zi
        if zr2 + zi2 > 4.0 then
          break
        end
        zi = 2.0 * (zr * zi) + ci
        zr = zr2 - zi2 + cr
        i = i + 1
      end
      count = count + i
    end
  end
end
print(count)

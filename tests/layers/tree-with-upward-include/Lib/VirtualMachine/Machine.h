// The machine, which the heap must not include.

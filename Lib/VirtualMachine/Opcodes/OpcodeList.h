#ifndef KELVO_OPCODELIST_H
#define KELVO_OPCODELIST_H

// Every operation of the machine, once. The operation table (Opcodes.h),
// the interpreter's handlers and their dispatch are all expanded from this
// list, so an operation cannot be known to one of them and unknown to
// another. Each line is
//
//   X(number, identifier, mnemonic, operands, pops, pushes, flow)
//
// - identifier: the mnemonic with '.' written as '_'; the interpreter's
//   handler for the operation is op_<identifier>.
// - operands: the operand kinds in code order (see EOperandKind).
// - pops, pushes: the slots the operation takes from the stack and leaves
//   on it. n and m stand for the values of its first and second operands;
//   a negative count counts as none.
// - flow: ETransfer when the operation ends a straight run of code: it
//   goes on, even to the next instruction, only through a check of the
//   stack for the run that starts where it goes (jumps, calls, returns,
//   natives, extensions and adjust.s). Of a transfer only what it pushes
//   before it goes counts; natives and extensions check their own slots.
//   ENext for the others, which go on with the next instruction. A throw
//   checks the stack at the handler it finds, and goes on with the next
//   instruction when there is nothing to throw.
//
// Numbers not listed are invalid operations.
#define KELVO_OPCODES(X) \
    X(0,   nop,             "nop",             (),                                0,     0,     ENext, \
      "", "", "", \
      "Does nothing.", \
      "") \
    X(1,   ldloc_s,         "ldloc.s",         (EInt8),                           0,     1,     ENext, \
      "k", "", "value", \
      "Pushes the value of local k: the slot at top + 1 + k, top counted before the push, so that -1 " \
      "names the slot on top before the instruction and -2 the one below it: a method reaches its " \
      "arguments and locals by negative k, each one lower for every slot pushed since.", \
      "") \
    X(2,   ldloc,           "ldloc",           (EInt32),                          0,     1,     ENext, \
      "k", "", "value", \
      "As `ldloc.s`, with a 32-bit k.", \
      "") \
    X(3,   ldloca_s,        "ldloca.s",        (EInt8),                           0,     1,     ENext, \
      "k", "", "address", \
      "Pushes the address of local k (counted as for `ldloc.s`), for `ldind`, `stind` and the updates " \
      "in place.", \
      "") \
    X(4,   ldloca,          "ldloca",          (EInt32),                          0,     1,     ENext, \
      "k", "", "address", \
      "As `ldloca.s`, with a 32-bit k.", \
      "") \
    X(5,   fieldaddr_s,     "fieldaddr.s",     (EInt8),                           1,     1,     ENext, \
      "i", "object", "field address", \
      "Replaces the object's address by the address of its word i: object + 4 * i. Word 0 of an " \
      "instance holds its class.", \
      "NullPointerException (1) when the object is 0.") \
    X(6,   fieldaddr,       "fieldaddr",       (EInt32),                          1,     1,     ENext, \
      "i", "object", "field address", \
      "As `fieldaddr.s`, with a 32-bit i.", \
      "NullPointerException (1) when the object is 0.") \
    X(7,   ldind,           "ldind",           (),                                1,     1,     ENext, \
      "", "address", "value", \
      "Replaces the address by the word stored there.", \
      "NullPointerException (1) when the address is 0.") \
    X(8,   adjust_s,        "adjust.s",        (EInt8),                           -n,    n,     ETransfer, \
      "n", "-n slots (n < 0)", "n zeros (n > 0)", \
      "Changes the height of the stack by n: a positive n pushes n slots of 0 (room for locals), a " \
      "negative n drops -n slots, 0 changes nothing. Ends a straight run: the stack is checked for the " \
      "run that follows.", \
      "The fatal error (11) \"Stack underflow\" when it drops more slots than the stack holds.") \
    X(9,   adjust,          "adjust",          (EInt32),                          -n,    n,     ENext, \
      "n", "-n slots (n < 0)", "n zeros (n > 0)", \
      "As `adjust.s`, with a 32-bit n; the run goes on with the next instruction.", \
      "The fatal error (11) \"Stack underflow\" when it drops more slots than the stack holds.") \
    X(10,  jz_s,            "jz.s",            (EJump16),                         1,     0,     ETransfer, \
      "d", "condition", "", \
      "Pops the condition and jumps when it is 0 (false); any other value goes on with the next " \
      "instruction. The target is the position of the operand's last byte plus d: the `jz.s`'s own " \
      "position + 2 + d, so d = -2 jumps to itself.", \
      "The fatal error (11) \"Internal error: invalid code address\" when the target lies outside the " \
      "code.") \
    X(11,  jz,              "jz",              (EJump32),                         1,     0,     ETransfer, \
      "d", "condition", "", \
      "As `jz.s`, with a 32-bit d counted from the operand's last byte: the target is the `jz`'s own " \
      "position + 4 + d.", \
      "The fatal error (11) \"Internal error: invalid code address\" when the target lies outside the " \
      "code.") \
    X(12,  jmp_s,           "jmp.s",           (EJump16),                         0,     0,     ETransfer, \
      "d", "", "", \
      "Jumps to the `jmp.s`'s own position + 2 + d.", \
      "The fatal error (11) \"Internal error: invalid code address\" when the target lies outside the " \
      "code.") \
    X(13,  jmp,             "jmp",             (EJump32),                         0,     0,     ETransfer, \
      "d", "", "", \
      "Jumps to the `jmp`'s own position + 4 + d.", \
      "The fatal error (11) \"Internal error: invalid code address\" when the target lies outside the " \
      "code.") \
    X(14,  call,            "call",            (ECodeAddress, EMethodRecord),     0,     1,     ETransfer, \
      "a, r", "arguments", "arguments, return address", \
      "Calls the method at code address a: pushes the return address (the position of the next " \
      "instruction), enters a frame of method record r and goes on at a. The results' slots and the " \
      "arguments that the caller pushed stay below the return address; the record's size1 and size2 " \
      "count them, and the frame's base is that many slots below the return address. r = -1 enters a " \
      "frame without record, based at the return address.", \
      "InvalidArgumentException (6) when r is neither -1 nor a record of the image. The fatal error " \
      "(11) \"Stack overflow\" when 15000 frames are active. The fatal error (11) \"Internal error: " \
      "invalid code address\" when a lies outside the code.") \
    X(15,  callvirt,        "callvirt",        (EVirtualName),                    1,     1,     ETransfer, \
      "v", "receiver, class", "receiver, return address", \
      "Calls virtual method v on the receiver whose class index is on top (usually pushed by `dup` and " \
      "`ldind` from the receiver): the implementation listed for exactly that class is taken, without a " \
      "walk up the super-classes. The class index is replaced by the return address, the " \
      "implementation's frame is entered as `call` does and the call goes on at its code. The receiver, " \
      "and the results' slots below it, stay where the caller left them.", \
      "The fatal error (11) \"Invalid type in virtual method call\" when v has no implementation for " \
      "the class. InvalidArgumentException (6) when v is not a virtual method of the image or the " \
      "implementation's record is -1 or not a record of the image. The fatal error (11) \"Stack " \
      "overflow\" when 15000 frames are active.") \
    X(16,  ret,             "ret",             (EInt32, EInt32),                  m,     0,     ETransfer, \
      "a, b", "results, arguments, return address, locals", "results", \
      "Returns from the newest frame: goes on at the return address found a slots below the top (a " \
      "counts the slots above the return address: locals and temporaries) and drops the top b slots (b " \
      "counts every slot that goes: those above the return address, the return address itself and the " \
      "arguments below it). The results' slots below the arguments stay for the caller. A negative " \
      "return address (-1, that of a top-level call) ends the run.", \
      "InvalidArgumentException (6) when no frame is active. The fatal error (11) \"Internal error: " \
      "invalid code address\" when the return address is neither negative nor inside the code; \"Stack " \
      "underflow\" when b drops more slots than the stack holds.") \
    X(17,  newarray,        "newarray",        (EUint8, EInt32),                  0,     1,     ENext, \
      "c, n", "", "array", \
      "Pushes a new heap array of n words, all 0, with GC code c: 1 for an instance, 2 for a plain " \
      "array, 14 for a reference cell (the codes are listed in `Lib/VirtualMachine/Heap/HeapEntry.h`).", \
      "The fatal error (11) \"Invalid mem alloc gc code\" when c is not from 1 to 17 or is 8 (vectors " \
      "are made by `newvector` only). VMException (10) \"Out of VM memory\" when n is negative or the " \
      "heap cannot hold the array.") \
    X(18,  dup,             "dup",             (),                                1,     2,     ENext, \
      "", "value", "value, value", \
      "Pushes a copy of the top.", \
      "") \
    X(19,  not,             "not",             (),                                1,     1,     ENext, \
      "", "value", "truth", \
      "Logical not: -1 (true) when the value is 0, else 0.", \
      "") \
    X(20,  ldc,             "ldc",             (EInt32),                          0,     1,     ENext, \
      "c", "", "c", \
      "Pushes the constant c.", \
      "") \
    X(21,  ldstr,           "ldstr",           (EStringIndex),                    0,     1,     ENext, \
      "s", "", "string", \
      "Pushes a new string value (a reference cell holding a new string object) with the text of string " \
      "constant s.", \
      "InvalidArgumentException (6) when s is not an entry of the string table. VMException (10) \"Out " \
      "of VM memory\" when the heap cannot hold the string.") \
    X(22,  setclass,        "setclass",        (EClassIndex),                     1,     0,     ENext, \
      "c", "object", "", \
      "Stores the class index c into word 0 of the object and pops it.", \
      "NullPointerException (1) when the object is 0.") \
    X(23,  stind,           "stind",           (),                                2,     0,     ENext, \
      "", "address, value", "", \
      "Stores the value into the word at the address; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(24,  stind0,          "stind0",          (),                                1,     0,     ENext, \
      "", "address", "", \
      "Stores 0 into the word at the address; pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(25,  stind_alt,       "stind.alt",       (),                                2,     0,     ENext, \
      "", "address, value", "", \
      "Does what `stind` does.", \
      "NullPointerException (1) when the address is 0.") \
    X(26,  add,             "add",             (),                                2,     1,     ENext, \
      "", "left, right", "left + right", \
      "Leaves left + right, wrapping at 32 bits. Left is the lower slot, pushed first.", \
      "") \
    X(27,  sub,             "sub",             (),                                2,     1,     ENext, \
      "", "left, right", "left - right", \
      "Leaves left - right: the top is subtracted from the slot below it, wrapping at 32 bits.", \
      "") \
    X(28,  mul,             "mul",             (),                                2,     1,     ENext, \
      "", "left, right", "left * right", \
      "Leaves the low 32 bits of left * right.", \
      "") \
    X(29,  div,             "div",             (),                                2,     1,     ENext, \
      "", "left, right", "left / right", \
      "Leaves left / right: the slot below the top divided by the top, signed, truncated toward zero: " \
      "-7 / 2 is -3. -2147483648 / -1 gives -2147483648.", \
      "DivisionByZeroException (3), without a message, when right is 0.") \
    X(30,  rem,             "rem",             (),                                2,     1,     ENext, \
      "", "left, right", "left rem right", \
      "Leaves the remainder of left / right, with the sign of left: -7 rem 2 is -1. Any value rem -1 is " \
      "0.", \
      "DivisionByZeroException (3), without a message, when right is 0.") \
    X(31,  neg,             "neg",             (),                                1,     1,     ENext, \
      "", "value", "-value", \
      "Negates, wrapping: -2147483648 stays.", \
      "") \
    X(32,  incind,          "incind",          (),                                1,     0,     ENext, \
      "", "address", "", \
      "Adds 1 to the word at the address; pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(33,  decind,          "decind",          (),                                1,     0,     ENext, \
      "", "address", "", \
      "Subtracts 1 from the word at the address; pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(34,  addind,          "addind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address += right. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(35,  subind,          "subind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address -= right. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(36,  mulind,          "mulind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address *= right (low 32 bits). Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(37,  divind,          "divind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address /= right, as `div`. Pops both.", \
      "NullPointerException (1) when the address is 0. DivisionByZeroException (3), without a message, " \
      "when right is 0.") \
    X(38,  remind,          "remind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address becomes its remainder by right, as `rem`. Pops both.", \
      "NullPointerException (1) when the address is 0. DivisionByZeroException (3), without a message, " \
      "when right is 0.") \
    X(39,  eq,              "eq",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left = right, else 0 (false). Left is the lower slot, pushed first.", \
      "") \
    X(40,  lt,              "lt",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left < right, else 0 (false); signed. Left is the lower slot, pushed first.", \
      "") \
    X(41,  le,              "le",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left <= right, else 0 (false); signed. Left is the lower slot, pushed first.", \
      "") \
    X(42,  ne,              "ne",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left != right, else 0 (false). Left is the lower slot, pushed first.", \
      "") \
    X(43,  gt,              "gt",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left > right, else 0 (false); signed. Left is the lower slot, pushed first.", \
      "") \
    X(44,  ge,              "ge",              (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when left >= right, else 0 (false); signed. Left is the lower slot, pushed first.", \
      "") \
    X(45,  and,             "and",             (),                                2,     1,     ENext, \
      "", "left, right", "left & right", \
      "Leaves the bitwise and of left and right.", \
      "") \
    X(46,  or,              "or",              (),                                2,     1,     ENext, \
      "", "left, right", "left | right", \
      "Leaves the bitwise or of left and right.", \
      "") \
    X(47,  xor,             "xor",             (),                                2,     1,     ENext, \
      "", "left, right", "left ^ right", \
      "Leaves the bitwise exclusive or of left and right.", \
      "") \
    X(48,  shl,             "shl",             (),                                2,     1,     ENext, \
      "", "value, count", "value << count", \
      "The value shifted left by count. The shift rule: a count from 0 to 31 shifts in zeros from the " \
      "right, 32 or more gives 0, a negative count shifts right arithmetically by -count (0 when -count " \
      "is above 31).", \
      "") \
    X(49,  shr,             "shr",             (),                                2,     1,     ENext, \
      "", "value, count", "value >> count", \
      "The value shifted right by count. Arithmetic: the sign is kept. The shift rule: a count from 0 " \
      "to 31 shifts by that much, 32 or more gives 0 (also for a negative value), a negative count " \
      "shifts left by -count (0 when -count is above 31).", \
      "") \
    X(50,  andind,          "andind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address &= right. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(51,  orind,           "orind",           (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address |= right. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(52,  xorind,          "xorind",          (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The word at the address ^= right. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(53,  shlind,          "shlind",          (),                                2,     0,     ENext, \
      "", "address, count", "", \
      "The word at the address is shifted left by count, as `shl`. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(54,  shrind,          "shrind",          (),                                2,     0,     ENext, \
      "", "address, count", "", \
      "The word at the address is shifted right arithmetically by count, as `shr`. Pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(55,  itos,            "itos",            (),                                1,     1,     ENext, \
      "", "value", "string", \
      "Replaces the value by a new string value holding its signed decimal text.", \
      "VMException (10) \"Out of VM memory\" when the heap cannot hold the string.") \
    X(57,  tobyte,          "tobyte",          (),                                1,     1,     ENext, \
      "", "value", "byte", \
      "Keeps the low 8 bits: value & 0xFF, from 0 to 255.", \
      "") \
    X(58,  ldtrue,          "ldtrue",          (),                                0,     1,     ENext, \
      "", "", "-1", \
      "Pushes true, -1.", \
      "") \
    X(59,  ldfalse,         "ldfalse",         (),                                0,     1,     ENext, \
      "", "", "0", \
      "Pushes false, 0.", \
      "") \
    X(60,  land,            "land",            (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 when left and right are both non-zero, else 0.", \
      "") \
    X(61,  lor,             "lor",             (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 when left or right is non-zero, else 0.", \
      "") \
    X(62,  lxor,            "lxor",            (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 when exactly one of left and right is non-zero, else 0.", \
      "") \
    X(63,  leqv,            "leqv",            (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "1 (not -1) when left and right are both zero or both non-zero, else 0.", \
      "") \
    X(64,  lxor1,           "lxor1",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "1 (not -1) when exactly one of left and right is non-zero, else 0.", \
      "") \
    X(65,  ldc2,            "ldc2",            (EInt32, EInt32),                  0,     2,     ENext, \
      "a, b", "", "a, b", \
      "Pushes a, then b: a two-word constant in one instruction.", \
      "") \
    X(73,  div_i8,          "div.i8",          (),                                2,     1,     ENext, \
      "", "left, right", "result", \
      "The sign-extended low byte of left divided by that of right, truncated toward zero, as a whole " \
      "word: -128 / -1 gives 128.", \
      "DivisionByZeroException (3) \"Division by zero.\" when the low byte of right is 0.") \
    X(74,  rem_i8,          "rem.i8",          (),                                2,     1,     ENext, \
      "", "left, right", "result", \
      "The remainder of the sign-extended low bytes of left and right, with the sign of left.", \
      "DivisionByZeroException (3) \"Division by zero.\" when the low byte of right is 0.") \
    X(75,  shl_i8,          "shl.i8",          (),                                2,     1,     ENext, \
      "", "value, count", "result", \
      "The sign-extended low byte of value shifted left by the sign-extended low byte of count, as " \
      "`shl`; the result is a whole word, not cut to a byte.", \
      "") \
    X(76,  shr_i8,          "shr.i8",          (),                                2,     1,     ENext, \
      "", "value, count", "result", \
      "The sign-extended low byte of value shifted right arithmetically by the sign-extended low byte " \
      "of count, as `shr`.", \
      "") \
    X(78,  native,          "native",          (EUint8, EInt8),                   0,     0,     ETransfer, \
      "g, o", "operands", "result", \
      "Calls operation o of the native family of group g; `native Family.name` names the same call " \
      "(every operation is in docs/reference/natives.md). The operation takes its operands from the " \
      "top of the stack, the last one on top, and leaves its results, if any, from the slot of its " \
      "first operand up. A native's entry is a safe point: the heap may be collected first.", \
      "The fatal error (11) \"Internal error: invalid group in native call: \" and g when g has no " \
      "family. VMException (10) with the family's prefix and the position (\"String:1234\") when the " \
      "family does not define o. Whatever the operation raises.") \
    X(79,  zero_s,          "zero.s",          (EInt8),                           1,     0,     ENext, \
      "n", "address", "", \
      "Stores 0 into the n words from the address; pops it. n <= 0 stores nothing.", \
      "VMException (10) \"Memory block out of range\" when the n words do not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(80,  zero,            "zero",            (EInt32),                          1,     0,     ENext, \
      "n", "address", "", \
      "As `zero.s`, with a 32-bit n.", \
      "VMException (10) \"Memory block out of range\" when the n words do not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(81,  copy_s,          "copy.s",          (EInt8),                           2,     1,     ENext, \
      "n", "target, source", "target", \
      "Copies n words from the source address to the target address (overlapping blocks as if through a " \
      "buffer); pops the source, the target stays.", \
      "VMException (10) \"Memory block out of range\" when either block does not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(82,  copy,            "copy",            (EInt32),                          2,     1,     ENext, \
      "n", "target, source", "target", \
      "As `copy.s`, with a 32-bit n.", \
      "VMException (10) \"Memory block out of range\" when either block does not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(83,  load_s,          "load.s",          (EInt8),                           1,     n,     ENext, \
      "n", "address", "w0 ... w(n-1)", \
      "Replaces the address by the n words from it, word 0 lowest. n <= 0 just pops the address.", \
      "VMException (10) \"Memory block out of range\" when the n words do not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(84,  load,            "load",            (EInt32),                          1,     n,     ENext, \
      "n", "address", "w0 ... w(n-1)", \
      "As `load.s`, with a 32-bit n.", \
      "VMException (10) \"Memory block out of range\" when the n words do not lie in the machine's " \
      "memory: the stack and the heap as far as it has grown.") \
    X(85,  store_s,         "store.s",         (EInt8),                           n + 1, 0,     ENext, \
      "n", "address, v0 ... v(n-1)", "", \
      "Stores the n slots above the address into the n words from it, the lowest slot into word 0, and " \
      "pops them with the address.", \
      "The fatal error (11) \"Stack underflow\" when n is negative or the stack holds fewer than n + 1 " \
      "slots. VMException (10) \"Memory block out of range\" when the n words do not lie in the " \
      "machine's memory: the stack and the heap as far as it has grown.") \
    X(86,  store,           "store",           (EInt32),                          n + 1, 0,     ENext, \
      "n", "address, v0 ... v(n-1)", "", \
      "As `store.s`, with a 32-bit n.", \
      "The fatal error (11) \"Stack underflow\" when n is negative or the stack holds fewer than n + 1 " \
      "slots. VMException (10) \"Memory block out of range\" when the n words do not lie in the " \
      "machine's memory: the stack and the heap as far as it has grown.") \
    X(97,  ext,             "ext",             (EInt8, EInt8),                    0,     0,     ETransfer, \
      "x, o", "operands", "results", \
      "Calls operation o of device extension x (docs/extensions.md: the accelerometer, the audio " \
      "player, location, the desktop, the torch). The extension works on the stack as a native does and " \
      "answers the new top.", \
      "UnsupportedFeatureException (13) \"Extensions are not available\" without a host. Whatever the " \
      "extension raises.") \
    X(105, sext8,           "sext8",           (EInt8),                           0,     0,     ENext, \
      "n", "v1 ... vn", "w1 ... wn", \
      "Replaces each of the top n slots by the sign extension of its low byte: 0xFF becomes -1, 0x7F " \
      "stays 127.", \
      "") \
    X(106, newvector,       "newvector",       (EInt8),                           1,     0,     ENext, \
      "size", "variable", "", \
      "Makes a new empty vector whose elements take size bytes (1, 4, 8, 12 or 16) and stores it into " \
      "word 0 of the two-word vector variable at the address on top, and size into its word 1; pops the " \
      "address.", \
      "NullPointerException (1) when the address is 0. VMException (10) \"Invalid vector element size\" " \
      "for any other size.") \
    X(114, ldm1,            "ldm1",            (),                                0,     1,     ENext, \
      "", "", "-1", \
      "Pushes -1.", \
      "") \
    X(117, try,             "try",             (ECatchClass, EHandlerDistance),   0,     0,     ENext, \
      "c, d", "", "", \
      "Enters a protected region: records the catch class c (0 or negative, written *: every class), " \
      "the current top and the handler's position, which is the position of the next instruction plus " \
      "d. A throw that the region catches cuts the stack back to the top recorded here, pushes the " \
      "exception and goes on at the handler.", \
      "VMException (10) \"Too many protected regions\" when 127 regions are active.") \
    X(118, leave,           "leave",           (EInt8),                           0,     0,     ENext, \
      "k", "", "", \
      "Adds k to the count of active protected regions: `leave -1` ends the innermost region, `leave " \
      "-2` the two innermost. A positive k enters again regions that were left, with their records as " \
      "they were.", \
      "VMException (10) \"Protected regions out of balance\" when the count would go below 0 or above " \
      "127.") \
    X(119, throw,           "throw",           (),                                1,     1,     ENext, \
      "", "exception", "exception", \
      "Throws the exception object on top. The active regions are tried from the innermost out, each " \
      "left as it is tried; the first whose catch class is every class, the exception's class (its word " \
      "0) or one of that class's super-classes catches it: the frames called since its try are left, " \
      "the stack is cut back to the top its `try` recorded, the exception is pushed and its handler " \
      "runs. When no region catches, the image's `vmprintthrowableandexit<throwable>` method is called " \
      "with the exception, as if by a `call` whose return address is the next instruction. A 0 on top " \
      "throws nothing: it stays and the next instruction runs.", \
      "InvalidArgumentException (6) when the class walk leaves the class table, or when no region " \
      "catches and the image has no `vmprintthrowableandexit<throwable>` method. VMException (10) " \
      "\"Cyclic class hierarchy\" when the super-classes form a cycle; \"Protected region never " \
      "entered\" when a `leave` with a positive count made a region active that no try entered.") \
    X(120, free,            "free",            (),                                1,     0,     ENext, \
      "", "object", "", \
      "Releases the heap object at once, without waiting for the collector; pops it. 0 releases " \
      "nothing.", \
      "VMException (10) \"Invalid heap reference\" when the value names no object in use.") \
    X(126, box,             "box",             (),                                1,     1,     ENext, \
      "", "value", "cell", \
      "Replaces the value by a new reference cell (a one-word array of GC code 14) that holds it: " \
      "passes a value one level deeper.", \
      "VMException (10) \"Out of VM memory\" when the heap cannot hold the cell.") \
    X(128, ldlocind,        "ldlocind",        (EInt8),                           0,     1,     ENext, \
      "k", "", "value", \
      "Pushes the word at the address held in local k (counted as for `ldloc.s`): `ldloc.s k` then " \
      "`ldind`.", \
      "NullPointerException (1) when an address on the way is 0.") \
    X(129, ldlocind2,       "ldlocind2",       (EInt8),                           0,     1,     ENext, \
      "k", "", "value", \
      "Pushes the word reached from local k through two addresses: `ldloc.s k; ldind; ldind`.", \
      "NullPointerException (1) when an address on the way is 0.") \
    X(130, ldlocind3,       "ldlocind3",       (EInt8),                           0,     1,     ENext, \
      "k", "", "value", \
      "Pushes the word reached from local k through three addresses.", \
      "NullPointerException (1) when an address on the way is 0.") \
    X(131, fieldaddrloc,    "fieldaddrloc",    (EInt8, EInt8),                    0,     1,     ENext, \
      "k, i", "", "field address", \
      "Pushes the address of word i of the object whose address is the word at the address in local k: " \
      "`ldloc.s k; ldind; fieldaddr.s i`.", \
      "NullPointerException (1) when an address on the way or the object is 0.") \
    X(132, fieldaddrloc2,   "fieldaddrloc2",   (EInt8, EInt8),                    0,     1,     ENext, \
      "k, i", "", "field address", \
      "As `fieldaddrloc`, with one more address between local k and the object.", \
      "NullPointerException (1) when an address on the way or the object is 0.") \
    X(133, fieldaddrloc3,   "fieldaddrloc3",   (EInt8, EInt8),                    0,     1,     ENext, \
      "k, i", "", "field address", \
      "As `fieldaddrloc`, with two more addresses between local k and the object.", \
      "NullPointerException (1) when an address on the way or the object is 0.") \
    X(134, ldind2,          "ldind2",          (),                                1,     1,     ENext, \
      "", "address", "value", \
      "Replaces the address by the word reached from it through two addresses: `ldind; ldind`.", \
      "NullPointerException (1) when an address on the way is 0.") \
    X(135, ldind3,          "ldind3",          (),                                1,     1,     ENext, \
      "", "address", "value", \
      "Replaces the address by the word reached from it through three addresses.", \
      "NullPointerException (1) when an address on the way is 0.") \
    X(139, freecell,        "freecell",        (),                                1,     0,     ENext, \
      "", "cell", "", \
      "Releases the object that the cell holds, then the cell; pops it. A cell holding 0 releases only " \
      "the cell.", \
      "NullPointerException (1) when the cell is 0. VMException (10) \"Invalid heap reference\" when " \
      "either names no object in use.") \
    X(146, newarrayst,      "newarrayst",      (EUint8, EInt32, EInt8),           1,     0,     ENext, \
      "c, n, depth", "variable", "", \
      "Makes a new array as `newarray c, n` does, wraps it in depth reference cells (1 to 3), or " \
      "follows -depth words from it (-1 to -3); any other depth gives 0, and stores the result into the " \
      "word at the address on top; pops the address.", \
      "The fatal error (11) \"Invalid mem alloc gc code\" when c is not from 1 to 17 or is 8 (vectors " \
      "are made by `newvector` only). NullPointerException (1) when the address is 0. VMException (10) " \
      "\"Out of VM memory\" when n is negative or the heap cannot hold the array.") \
    X(147, newarrayst_keep, "newarrayst.keep", (EUint8, EInt32, EInt8),           1,     1,     ENext, \
      "c, n, depth", "variable", "variable", \
      "As `newarrayst`, but the address stays on top.", \
      "The fatal error (11) \"Invalid mem alloc gc code\" when c is not from 1 to 17 or is 8 (vectors " \
      "are made by `newvector` only). NullPointerException (1) when the address is 0. VMException (10) " \
      "\"Out of VM memory\" when n is negative or the heap cannot hold the array.") \
    X(148, box2,            "box2",            (),                                1,     1,     ENext, \
      "", "value", "cell", \
      "Replaces the value by a new plain one-word array (GC code 2) that holds it.", \
      "VMException (10) \"Out of VM memory\" when the heap cannot hold the array.") \
    X(156, incind_i8,       "incind.i8",       (),                                1,     0,     ENext, \
      "", "address", "", \
      "Adds 1 to the byte at the address (255 becomes 0); pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(157, decind_i8,       "decind.i8",       (),                                1,     0,     ENext, \
      "", "address", "", \
      "Subtracts 1 from the byte at the address (0 becomes 255); pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(158, addind_i8,       "addind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address += right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(159, subind_i8,       "subind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address -= right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(160, mulind_i8,       "mulind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address *= right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(161, divind_i8,       "divind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address, signed, divided by the sign-extended low byte of right, as `div`. The " \
      "low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0. DivisionByZeroException (3) \"Division by " \
      "zero.\" when the low byte of right is 0.") \
    X(162, remind_i8,       "remind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address, signed, becomes its remainder by the sign-extended low byte of right, " \
      "as `rem`. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0. DivisionByZeroException (3) \"Division by " \
      "zero.\" when the low byte of right is 0.") \
    X(163, andind_i8,       "andind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address &= right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(164, orind_i8,        "orind.i8",        (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address |= right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(165, xorind_i8,       "xorind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address ^= right. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(166, shlind_i8,       "shlind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address, sign-extended, shifted left by right (the whole word), as `shl`. The " \
      "low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(167, shrind_i8,       "shrind.i8",       (),                                2,     0,     ENext, \
      "", "address, right", "", \
      "The byte at the address, sign-extended, shifted right arithmetically by right (the whole word), " \
      "as `shr`. The low 8 bits are stored back; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(168, stind0_i8,       "stind0.i8",       (),                                1,     0,     ENext, \
      "", "address", "", \
      "Stores 0 into the byte at the address; pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(169, stind_i8,        "stind.i8",        (),                                2,     0,     ENext, \
      "", "address, value", "", \
      "Stores the low byte of the value at the address; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(170, eq_i8,           "eq.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left = that of right, else 0 (false).", \
      "") \
    X(171, lt_i8,           "lt.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left < that of right, else 0 (false).", \
      "") \
    X(172, le_i8,           "le.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left <= that of right, else 0 (false).", \
      "") \
    X(173, ne_i8,           "ne.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left != that of right, else 0 (false).", \
      "") \
    X(174, gt_i8,           "gt.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left > that of right, else 0 (false).", \
      "") \
    X(175, ge_i8,           "ge.i8",           (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low byte of left >= that of right, else 0 (false).", \
      "") \
    X(176, stind0_i16,      "stind0.i16",      (),                                1,     0,     ENext, \
      "", "address", "", \
      "Stores 0 into the 16 bits at the address; pops it.", \
      "NullPointerException (1) when the address is 0.") \
    X(177, stind_i16,       "stind.i16",       (),                                2,     0,     ENext, \
      "", "address, value", "", \
      "Stores the low 16 bits of the value at the address, low byte first; pops both.", \
      "NullPointerException (1) when the address is 0.") \
    X(178, eq_i16,          "eq.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left = that of right, else 0 (false).", \
      "") \
    X(179, lt_i16,          "lt.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left < that of right, else 0 (false).", \
      "") \
    X(180, le_i16,          "le.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left <= that of right, else 0 (false).", \
      "") \
    X(181, ne_i16,          "ne.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left != that of right, else 0 (false).", \
      "") \
    X(182, gt_i16,          "gt.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left > that of right, else 0 (false).", \
      "") \
    X(183, ge_i16,          "ge.i16",          (),                                2,     1,     ENext, \
      "", "left, right", "truth", \
      "-1 (true) when the sign-extended low 16 bits of left >= that of right, else 0 (false).", \
      "") \
    X(184, mkarray_s,       "mkarray.s",       (EInt8),                           n,     1,     ENext, \
      "n", "v0 ... v(n-1)", "array", \
      "Replaces the top n slots by a new plain array (GC code 2) of n words holding them, the lowest " \
      "slot in word 0.", \
      "The fatal error (11) \"Stack underflow\" when n is negative or the stack holds fewer than n " \
      "slots. VMException (10) \"Out of VM memory\" when the heap cannot hold the array.") \
    X(185, mkarray,         "mkarray",         (EInt32),                          n,     1,     ENext, \
      "n", "v0 ... v(n-1)", "array", \
      "As `mkarray.s`, with a 32-bit n.", \
      "The fatal error (11) \"Stack underflow\" when n is negative or the stack holds fewer than n " \
      "slots. VMException (10) \"Out of VM memory\" when the heap cannot hold the array.")

#endif

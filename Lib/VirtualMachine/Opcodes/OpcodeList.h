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
    X(0,   nop,             "nop",             (),                                0,     0,     ENext) \
    X(1,   ldloc_s,         "ldloc.s",         (EInt8),                           0,     1,     ENext) \
    X(2,   ldloc,           "ldloc",           (EInt32),                          0,     1,     ENext) \
    X(3,   ldloca_s,        "ldloca.s",        (EInt8),                           0,     1,     ENext) \
    X(4,   ldloca,          "ldloca",          (EInt32),                          0,     1,     ENext) \
    X(5,   fieldaddr_s,     "fieldaddr.s",     (EInt8),                           1,     1,     ENext) \
    X(6,   fieldaddr,       "fieldaddr",       (EInt32),                          1,     1,     ENext) \
    X(7,   ldind,           "ldind",           (),                                1,     1,     ENext) \
    X(8,   adjust_s,        "adjust.s",        (EInt8),                           -n,    n,     ETransfer) \
    X(9,   adjust,          "adjust",          (EInt32),                          -n,    n,     ENext) \
    X(10,  jz_s,            "jz.s",            (EJump16),                         1,     0,     ETransfer) \
    X(11,  jz,              "jz",              (EJump32),                         1,     0,     ETransfer) \
    X(12,  jmp_s,           "jmp.s",           (EJump16),                         0,     0,     ETransfer) \
    X(13,  jmp,             "jmp",             (EJump32),                         0,     0,     ETransfer) \
    X(14,  call,            "call",            (ECodeAddress, EMethodRecord),     0,     1,     ETransfer) \
    X(15,  callvirt,        "callvirt",        (EVirtualName),                    1,     1,     ETransfer) \
    X(16,  ret,             "ret",             (EInt32, EInt32),                  m,     0,     ETransfer) \
    X(17,  newarray,        "newarray",        (EUint8, EInt32),                  0,     1,     ENext) \
    X(18,  dup,             "dup",             (),                                1,     2,     ENext) \
    X(19,  not,             "not",             (),                                1,     1,     ENext) \
    X(20,  ldc,             "ldc",             (EInt32),                          0,     1,     ENext) \
    X(21,  ldstr,           "ldstr",           (EStringIndex),                    0,     1,     ENext) \
    X(22,  setclass,        "setclass",        (EClassIndex),                     1,     0,     ENext) \
    X(23,  stind,           "stind",           (),                                2,     0,     ENext) \
    X(24,  stind0,          "stind0",          (),                                1,     0,     ENext) \
    X(25,  stind_alt,       "stind.alt",       (),                                2,     0,     ENext) \
    X(26,  add,             "add",             (),                                2,     1,     ENext) \
    X(27,  sub,             "sub",             (),                                2,     1,     ENext) \
    X(28,  mul,             "mul",             (),                                2,     1,     ENext) \
    X(29,  div,             "div",             (),                                2,     1,     ENext) \
    X(30,  rem,             "rem",             (),                                2,     1,     ENext) \
    X(31,  neg,             "neg",             (),                                1,     1,     ENext) \
    X(32,  incind,          "incind",          (),                                1,     0,     ENext) \
    X(33,  decind,          "decind",          (),                                1,     0,     ENext) \
    X(34,  addind,          "addind",          (),                                2,     0,     ENext) \
    X(35,  subind,          "subind",          (),                                2,     0,     ENext) \
    X(36,  mulind,          "mulind",          (),                                2,     0,     ENext) \
    X(37,  divind,          "divind",          (),                                2,     0,     ENext) \
    X(38,  remind,          "remind",          (),                                2,     0,     ENext) \
    X(39,  eq,              "eq",              (),                                2,     1,     ENext) \
    X(40,  lt,              "lt",              (),                                2,     1,     ENext) \
    X(41,  le,              "le",              (),                                2,     1,     ENext) \
    X(42,  ne,              "ne",              (),                                2,     1,     ENext) \
    X(43,  gt,              "gt",              (),                                2,     1,     ENext) \
    X(44,  ge,              "ge",              (),                                2,     1,     ENext) \
    X(45,  and,             "and",             (),                                2,     1,     ENext) \
    X(46,  or,              "or",              (),                                2,     1,     ENext) \
    X(47,  xor,             "xor",             (),                                2,     1,     ENext) \
    X(48,  shl,             "shl",             (),                                2,     1,     ENext) \
    X(49,  shr,             "shr",             (),                                2,     1,     ENext) \
    X(50,  andind,          "andind",          (),                                2,     0,     ENext) \
    X(51,  orind,           "orind",           (),                                2,     0,     ENext) \
    X(52,  xorind,          "xorind",          (),                                2,     0,     ENext) \
    X(53,  shlind,          "shlind",          (),                                2,     0,     ENext) \
    X(54,  shrind,          "shrind",          (),                                2,     0,     ENext) \
    X(55,  itos,            "itos",            (),                                1,     1,     ENext) \
    X(57,  tobyte,          "tobyte",          (),                                1,     1,     ENext) \
    X(58,  ldtrue,          "ldtrue",          (),                                0,     1,     ENext) \
    X(59,  ldfalse,         "ldfalse",         (),                                0,     1,     ENext) \
    X(60,  land,            "land",            (),                                2,     1,     ENext) \
    X(61,  lor,             "lor",             (),                                2,     1,     ENext) \
    X(62,  lxor,            "lxor",            (),                                2,     1,     ENext) \
    X(63,  leqv,            "leqv",            (),                                2,     1,     ENext) \
    X(64,  lxor1,           "lxor1",           (),                                2,     1,     ENext) \
    X(65,  ldc2,            "ldc2",            (EInt32, EInt32),                  0,     2,     ENext) \
    X(73,  div_i8,          "div.i8",          (),                                2,     1,     ENext) \
    X(74,  rem_i8,          "rem.i8",          (),                                2,     1,     ENext) \
    X(75,  shl_i8,          "shl.i8",          (),                                2,     1,     ENext) \
    X(76,  shr_i8,          "shr.i8",          (),                                2,     1,     ENext) \
    X(78,  native,          "native",          (EUint8, EInt8),                   0,     0,     ETransfer) \
    X(79,  zero_s,          "zero.s",          (EInt8),                           1,     0,     ENext) \
    X(80,  zero,            "zero",            (EInt32),                          1,     0,     ENext) \
    X(81,  copy_s,          "copy.s",          (EInt8),                           2,     1,     ENext) \
    X(82,  copy,            "copy",            (EInt32),                          2,     1,     ENext) \
    X(83,  load_s,          "load.s",          (EInt8),                           1,     n,     ENext) \
    X(84,  load,            "load",            (EInt32),                          1,     n,     ENext) \
    X(85,  store_s,         "store.s",         (EInt8),                           n + 1, 0,     ENext) \
    X(86,  store,           "store",           (EInt32),                          n + 1, 0,     ENext) \
    X(97,  ext,             "ext",             (EInt8, EInt8),                    0,     0,     ETransfer) \
    X(105, sext8,           "sext8",           (EInt8),                           0,     0,     ENext) \
    X(106, newvector,       "newvector",       (EInt8),                           1,     0,     ENext) \
    X(114, ldm1,            "ldm1",            (),                                0,     1,     ENext) \
    X(117, try,             "try",             (ECatchClass, EHandlerDistance),   0,     0,     ENext) \
    X(118, leave,           "leave",           (EInt8),                           0,     0,     ENext) \
    X(119, throw,           "throw",           (),                                1,     1,     ENext) \
    X(120, free,            "free",            (),                                1,     0,     ENext) \
    X(126, box,             "box",             (),                                1,     1,     ENext) \
    X(128, ldlocind,        "ldlocind",        (EInt8),                           0,     1,     ENext) \
    X(129, ldlocind2,       "ldlocind2",       (EInt8),                           0,     1,     ENext) \
    X(130, ldlocind3,       "ldlocind3",       (EInt8),                           0,     1,     ENext) \
    X(131, fieldaddrloc,    "fieldaddrloc",    (EInt8, EInt8),                    0,     1,     ENext) \
    X(132, fieldaddrloc2,   "fieldaddrloc2",   (EInt8, EInt8),                    0,     1,     ENext) \
    X(133, fieldaddrloc3,   "fieldaddrloc3",   (EInt8, EInt8),                    0,     1,     ENext) \
    X(134, ldind2,          "ldind2",          (),                                1,     1,     ENext) \
    X(135, ldind3,          "ldind3",          (),                                1,     1,     ENext) \
    X(139, freecell,        "freecell",        (),                                1,     0,     ENext) \
    X(146, newarrayst,      "newarrayst",      (EUint8, EInt32, EInt8),           1,     0,     ENext) \
    X(147, newarrayst_keep, "newarrayst.keep", (EUint8, EInt32, EInt8),           1,     1,     ENext) \
    X(148, box2,            "box2",            (),                                1,     1,     ENext) \
    X(156, incind_i8,       "incind.i8",       (),                                1,     0,     ENext) \
    X(157, decind_i8,       "decind.i8",       (),                                1,     0,     ENext) \
    X(158, addind_i8,       "addind.i8",       (),                                2,     0,     ENext) \
    X(159, subind_i8,       "subind.i8",       (),                                2,     0,     ENext) \
    X(160, mulind_i8,       "mulind.i8",       (),                                2,     0,     ENext) \
    X(161, divind_i8,       "divind.i8",       (),                                2,     0,     ENext) \
    X(162, remind_i8,       "remind.i8",       (),                                2,     0,     ENext) \
    X(163, andind_i8,       "andind.i8",       (),                                2,     0,     ENext) \
    X(164, orind_i8,        "orind.i8",        (),                                2,     0,     ENext) \
    X(165, xorind_i8,       "xorind.i8",       (),                                2,     0,     ENext) \
    X(166, shlind_i8,       "shlind.i8",       (),                                2,     0,     ENext) \
    X(167, shrind_i8,       "shrind.i8",       (),                                2,     0,     ENext) \
    X(168, stind0_i8,       "stind0.i8",       (),                                1,     0,     ENext) \
    X(169, stind_i8,        "stind.i8",        (),                                2,     0,     ENext) \
    X(170, eq_i8,           "eq.i8",           (),                                2,     1,     ENext) \
    X(171, lt_i8,           "lt.i8",           (),                                2,     1,     ENext) \
    X(172, le_i8,           "le.i8",           (),                                2,     1,     ENext) \
    X(173, ne_i8,           "ne.i8",           (),                                2,     1,     ENext) \
    X(174, gt_i8,           "gt.i8",           (),                                2,     1,     ENext) \
    X(175, ge_i8,           "ge.i8",           (),                                2,     1,     ENext) \
    X(176, stind0_i16,      "stind0.i16",      (),                                1,     0,     ENext) \
    X(177, stind_i16,       "stind.i16",       (),                                2,     0,     ENext) \
    X(178, eq_i16,          "eq.i16",          (),                                2,     1,     ENext) \
    X(179, lt_i16,          "lt.i16",          (),                                2,     1,     ENext) \
    X(180, le_i16,          "le.i16",          (),                                2,     1,     ENext) \
    X(181, ne_i16,          "ne.i16",          (),                                2,     1,     ENext) \
    X(182, gt_i16,          "gt.i16",          (),                                2,     1,     ENext) \
    X(183, ge_i16,          "ge.i16",          (),                                2,     1,     ENext) \
    X(184, mkarray_s,       "mkarray.s",       (EInt8),                           n,     1,     ENext) \
    X(185, mkarray,         "mkarray",         (EInt32),                          n,     1,     ENext)

#endif

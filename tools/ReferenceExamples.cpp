// The worked examples of the calling convention in the instruction
// reference. Each is a whole program; ReferenceTest assembles and runs it
// and holds it to the lines it says it logs, so that the reference cannot
// teach a convention the machine does not follow.

#include "Reference.h"

namespace Reference {

namespace {

const Example KExamples[] = {
    {"Passing arguments",
     "The caller pushes the arguments in order, the first lowest, and `call` pushes the return address "
     "above them. The called method reaches them as locals counted down from the top: with nothing pushed "
     "yet, the last argument is local -2, the one before it -3, and every slot the method pushes moves "
     "them one further down. `ret a, b` goes back to the return address `a` slots below the top and takes "
     "`b` slots away, here the return address and both arguments. The method record's `size2` counts the "
     "arguments, so that the collector knows where the frame starts.",
     R"(.record mainFrame
.record differenceFrame size2=2     ; two arguments below the return address

.static "main" main, mainFrame

; [return address]
main:
    ldc 50                      ; the first argument, pushed first
    ldc 8                       ; the second
    call logDifference, differenceFrame
    ret 0, 1                    ; main's return address is -1: the run ends

; [a, b, return address]
logDifference:
    ldloc.s -3                  ; a
    ldloc.s -3                  ; b: also -3, as a has been pushed since
    sub                         ; a - b: the top is taken from the slot below it
    itos
    native 30, 1                ; Debug: log the text
    ret 0, 3                    ; back, taking the return address, b and a
)",
     "42\n"},
    {"Returning a value",
     "A method's results are slots that the caller reserves below the arguments; the method stores into "
     "them through their address, and its `ret` takes away everything above them, so that they are left "
     "on top for the caller. Locals are slots the method pushes above its return address, usually with "
     "`adjust.s`; `ret`'s first operand then counts them, as the return address lies that many slots "
     "below the top. The record's `size1` counts the results, `size2` the arguments and `size3` the "
     "locals.",
     R"(.record mainFrame
.record productFrame size1=1 size2=2 size3=1    ; a result, two arguments, a local

.static "main" main, mainFrame

; [return address]
main:
    ldc 0                       ; the result's slot, below the arguments
    ldc 6
    ldc 7
    call product, productFrame  ; leaves the result on top
    itos
    native 30, 1                ; logs 42
    ret 0, 1

; [result, x, y, return address, p]
product:
    adjust.s 1                  ; the local p, 0
    ldloca.s -1                 ; p's address
    ldloc.s -5                  ; x
    ldloc.s -5                  ; y
    mul
    stind                       ; p = x * y
    ldloca.s -5                 ; the result's address
    ldloc.s -2                  ; p
    stind                       ; result = p
    ret 1, 4                    ; the return address is 1 below the top; p, it, y and x go
)",
     "42\n"},
    {"A virtual call",
     "The receiver is the first argument. `callvirt` chooses the implementation by the class index on top "
     "of the stack, which the caller pushes from the receiver's word 0 (`dup`, `ldind`), and puts the "
     "return address in its place. Only the implementation listed for exactly that class is taken: an "
     "image lists one for every class that can receive the call. Each implementation has its own method "
     "record and returns as any method does.",
     R"(.class Shape
.class Square super=Shape       ; word 1: the side
.class Circle super=Shape       ; word 1: the radius

.record mainFrame
.record areaFrame size1=1 size2=1   ; the result below the receiver

.static "main" main, mainFrame
.virtual "<*shape>.area"
.impl Square, squareArea, areaFrame
.impl Circle, circleArea, areaFrame

; [return address]
main:
    ldc 0                       ; the result's slot
    newarray 1, 2               ; an instance (GC code 1) of two words
    dup
    setclass Square             ; word 0: its class
    dup
    fieldaddr.s 1
    ldc 5
    stind                       ; word 1: the side
    dup
    ldind                       ; the receiver's class, which chooses the implementation
    callvirt "<*shape>.area"    ; [result, receiver, return address] in squareArea
    itos
    native 30, 1                ; logs 25
    ldc 0
    newarray 1, 2
    dup
    setclass Circle
    dup
    fieldaddr.s 1
    ldc 2
    stind                       ; word 1: the radius
    dup
    ldind
    callvirt "<*shape>.area"    ; the same name, Circle's implementation
    itos
    native 30, 1                ; logs 12
    ret 0, 1

; [result, shape, return address]
squareArea:
    ldloca.s -3                 ; the result's address
    ldloc.s -3                  ; the receiver
    fieldaddr.s 1
    ldind                       ; its side
    dup
    mul
    stind                       ; result = side * side
    ret 0, 2                    ; the return address and the receiver go

circleArea:                     ; a rough 3 * r * r
    ldloca.s -3
    ldloc.s -3
    fieldaddr.s 1
    ldind
    dup
    mul
    ldc 3
    mul
    stind
    ret 0, 2
)",
     "25\n12\n"},
    {"A protected region",
     "`try` enters a region: it records the class it catches, the height of the stack and where its "
     "handler starts. Code that ends the region normally leaves it with `leave -1`. A throw inside the "
     "region, also from a method called there, leaves the frames called since, cuts the stack back to the "
     "height the `try` recorded, pushes the exception and goes on at the handler.",
     R"(.class Failure                  ; word 1: the value that failed

.record mainFrame
.record checkFrame size2=1

.static "main" main, mainFrame

; [return address]
main:
    try Failure, failed         ; a region that catches Failure and its sub-classes
    ldc 5
    call check, checkFrame      ; 5 is fine: check returns
    leave -1                    ; the region ends without a throw
    ldstr "5 passed"
    native 30, 1                ; logs it
    try Failure, failed
    ldc -1
    call check, checkFrame      ; -1 is not: check throws, the handler runs
    leave -1                    ; not reached
    ret 0, 1

; [return address, exception]: the stack as the try found it, and the exception
failed:
    fieldaddr.s 1
    ldind                       ; the value that failed
    itos
    native 30, 1                ; logs -1
    ret 0, 1

; [value, return address]: throws a Failure holding the value when it is negative
check:
    ldloc.s -2                  ; the value
    ldc 0
    lt
    jz.s fine                   ; value < 0 is false (0): nothing to throw
    newarray 1, 2
    dup
    setclass Failure
    dup
    fieldaddr.s 1
    ldloc.s -4                  ; the value
    stind
    throw
fine:
    ret 0, 2
)",
     "5 passed\n-1\n"},
    {"A throw",
     "`throw` tries the active regions from the innermost out, and leaves each it tries: a region catches "
     "when its class is the exception's class (word 0 of the exception) or one of that class's "
     "super-classes, or when it catches everything (`try *`). A 0 on top throws nothing. When no region "
     "catches, the machine calls the image's `vmprintthrowableandexit<throwable>` method with the "
     "exception, as if the throw had called it; that method is expected to report the exception and end "
     "the application.",
     R"(.class Error refs=1             ; word 1: a message
.class NotFound super=Error refs=1
.class Timeout super=Error refs=1

.record mainFrame
.record hookFrame size2=1

.static "main" main, mainFrame
.static "vmprintthrowableandexit<*throwable>" uncaught, hookFrame

; [return address]
main:
    try Error, caught           ; the outer region: Error and its sub-classes
    try Timeout, wrong          ; the inner region: Timeout only
    ldc 0
    throw                       ; throws nothing: the 0 stays
    adjust.s -1
    newarray 1, 2
    dup
    setclass NotFound
    dup
    fieldaddr.s 1
    ldstr "no such file"
    stind
    throw                       ; the inner region is tried and left, the outer one catches

wrong:                          ; not reached
    adjust.s -1
    ret 0, 1

; [return address, exception]
caught:
    fieldaddr.s 1
    ldind
    native 30, 1                ; logs the message
    newarray 1, 2
    dup
    setclass Timeout
    dup
    fieldaddr.s 1
    ldstr "too late"
    stind
    throw                       ; no region is active: the machine calls uncaught
    ret 0, 1                    ; reached only if uncaught returns

; [exception, return address]
uncaught:
    ldloc.s -2
    fieldaddr.s 1
    ldind
    native 30, 1                ; logs the message
    native 32, 1                ; System: end the application
)",
     "no such file\ntoo late\n"},
};

}

std::span<const Example> examples()
{
    return KExamples;
}

}

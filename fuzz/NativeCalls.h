#ifndef KELVO_NATIVECALLS_H
#define KELVO_NATIVECALLS_H

#include <cstddef>
#include <cstdint>

// The native-call fuzzer reads its input as a program of steps, each on
// one machine made for the input:
//
// - call an operation of a native family (every operation of the group
//   table can be named) or of a device extension, with sixteen operand
//   slots drawn from edge values (0, 1, -1, the extremes), words of the
//   input, handles the program made earlier, words inside them, fresh
//   variable cells, forged addresses near real objects, handles of objects
//   already collected or released, earlier results and stack addresses;
//   the slots above the top hold one more such word, for operations that
//   read past their operands;
// - repeat the last call, a few times or up to a quarter of a million;
// - make a string, a file name, a vector, an array, an instance, a cell, a
//   byte vector, a date-time or a canvas on a back buffer;
// - collect, release an object as a program can, drop a handle, store a
//   word into or before an object, or choose how often collections come;
// - raise a failure into the application, whose internal-throw hook
//   allocates before it reads the message, with a collection at every
//   allocation.
//
// Handles live in sixteen local slots at the bottom of the stack, where the
// collector finds them as it finds a program's locals; what calls answer,
// or store into the cells they were given, becomes a handle there.
//
// Besides the sanitizers' findings, a run stops the process with a report
// when an operation writes below its operands, takes more than it was
// given, reads a slot as two things or above the top; when the host holds
// far more memory for the run than host memory counts (an object kept on
// the host for every call, say); when the hook does not log exactly the
// text it was handed; and when host memory still counts anything of a run
// once its machine is gone.
namespace NativeCalls {

// What every run shares, made once: the application object of Qt (fonts
// need one), the environment that keeps the extensions from reaching real
// servers, and the image each machine loads.
void initialise();

// Runs aData as a program of steps on a machine of its own.
void run(const std::uint8_t* aData, std::size_t aSize);

}

#endif
